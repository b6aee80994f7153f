#include <gtest/gtest.h>

#include <algorithm>

#include "console/Form1.h"
#include "registry/RegFuncs.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

using Call = FakeRegistry::Call;
using namespace SuiteFixture;

const std::wstring Top = L"Software\\Top";

class DeleteTreeTest : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();

    void SetUp() override
    {
        registry.Reset();
        // Top has subkeys a (with a deep chain below b), m and z.
        registry.SetString(Top + L"\\a\\b\\c\\d\\e\\f", L"", L"deep");
        registry.CreateKey(Top + L"\\a\\b\\stuck\\leaf");
        registry.CreateKey(Top + L"\\a\\b\\x");
        registry.CreateKey(Top + L"\\m");
        registry.SetString(Top + L"\\z", L"v", L"value");
        registry.CreateKey(L"Software\\Neighbour\\kept");
    }

    void TearDown() override
    {
        EXPECT_EQ(registry.OpenHandleCount(), 0);
        EXPECT_EQ(registry.StrayCloseCount(), 0);
        EXPECT_TRUE(registry.KeyExists(L"Software\\Neighbour\\kept")) << "a key outside the tree was removed";
    }

    bool DeleteTop()
    {
        RegKey parent = RegKey::None;
        EXPECT_TRUE(OpenRegKey(RegKey::LocalMachine, L"Software", parent));
        bool deleted = DeleteRegKeyTree(parent, L"Top");
        CloseRegKey(parent);
        return deleted;
    }

    std::vector<std::wstring> Deletions() const
    {
        std::vector<std::wstring> deletions;
        for (const auto& call : registry.Calls()) {
            if (call.rfind(L"Delete ", 0) == 0)
                deletions.push_back(call.substr(7));
        }
        return deletions;
    }
};

TEST_F(DeleteTreeTest, ATreeSixLevelsDeepGoesLeavesFirst)
{
    EXPECT_TRUE(DeleteTop());
    EXPECT_FALSE(registry.KeyExists(Top));
    auto deletions = Deletions();
    ASSERT_EQ(deletions.size(), 12u);
    EXPECT_EQ(deletions.front(), Top + L"\\a\\b\\c\\d\\e\\f");
    EXPECT_EQ(deletions.back(), Top);
    // Every key goes after all the keys below it.
    for (std::size_t i = 0; i < deletions.size(); ++i) {
        for (std::size_t j = i + 1; j < deletions.size(); ++j)
            EXPECT_NE(deletions[j].rfind(deletions[i] + L"\\", 0), 0u) << deletions[j] << " after " << deletions[i];
    }
}

TEST_F(DeleteTreeTest, AMissingKeyIsNeitherListedDeletedNorClosed)
{
    RegKey parent = RegKey::None;
    ASSERT_TRUE(OpenRegKey(RegKey::LocalMachine, L"Software", parent));
    registry.ClearCalls();
    EXPECT_FALSE(DeleteRegKeyTree(parent, L"Absent"));
    EXPECT_EQ(registry.Calls(), std::vector<std::wstring>{L"Open Software\\Absent"});
    CloseRegKey(parent);
}

TEST_F(DeleteTreeTest, ARefusedDeletionOfTheTopKeepsItButNotWhatWasBelow)
{
    registry.Fail(Call::Delete, Top, RegError::AccessDenied);
    EXPECT_FALSE(DeleteTop());
    EXPECT_TRUE(registry.KeyExists(Top));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\a"));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\z"));
}

TEST_F(DeleteTreeTest, AStuckSubkeyDeepInsideEndsTheLoopAndTheOthersStillGo)
{
    registry.Fail(Call::Delete, Top + L"\\a\\b\\stuck", RegError::AccessDenied);
    EXPECT_FALSE(DeleteTop());
    // The stuck key and the keys above it stay; every other key is gone.
    registry.DeleteTree(L"Software\\Neighbour");
    EXPECT_EQ(registry.Dump(), L"Software\n"
                               L"Software\\Top\n"
                               L"Software\\Top\\a\n"
                               L"Software\\Top\\a\\b\n"
                               L"Software\\Top\\a\\b\\stuck\n");
    registry.CreateKey(L"Software\\Neighbour\\kept");
}

TEST_F(DeleteTreeTest, ASubkeyThatCannotBeOpenedIsPassedOver)
{
    registry.Fail(Call::Open, Top + L"\\m", RegError::AccessDenied);
    EXPECT_FALSE(DeleteTop());
    EXPECT_TRUE(registry.KeyExists(Top + L"\\m"));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\a"));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\z"));
}

TEST_F(DeleteTreeTest, AnEnumerationErrorSkipsOneIndexAndTheRestIsStillTried)
{
    registry.Fail(Call::Enum, Top, RegError::AccessDenied, 1, 0);
    EXPECT_FALSE(DeleteTop());
    // Index 0 (a) was skipped by the failure; m and z were removed.
    EXPECT_TRUE(registry.KeyExists(Top + L"\\a\\b\\c\\d\\e\\f"));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\m"));
    EXPECT_FALSE(registry.KeyExists(Top + L"\\z"));
}

TEST_F(DeleteTreeTest, AKeyThatCannotBeListedAtAllEndsTheLoop)
{
    registry.Fail(Call::Enum, Top, RegError::AccessDenied);
    EXPECT_FALSE(DeleteTop());
    EXPECT_TRUE(registry.KeyExists(Top + L"\\z"));
    EXPECT_EQ(registry.CallCount(Call::Enum), 2);
}

// Followed, a link would take its target along: that lies outside the tree
// (TearDown checks that Neighbour\kept is still there).
TEST_F(DeleteTreeTest, ALinkInsideTheTreeOrAtItsTopIsRemovedAloneAndItsTargetStays)
{
    registry.CreateLink(Top + L"\\a\\link", L"Software\\Neighbour");
    registry.CreateLink(Top + L"\\m\\dangling", L"Software\\Nowhere");
    EXPECT_TRUE(DeleteTop());
    EXPECT_FALSE(registry.KeyExists(Top));

    registry.CreateLink(L"Software\\Alias", L"Software\\Neighbour");
    RegKey parent = RegKey::None;
    ASSERT_TRUE(OpenRegKey(RegKey::LocalMachine, L"Software", parent));
    EXPECT_TRUE(DeleteRegKeyTree(parent, L"Alias"));
    EXPECT_FALSE(registry.KeyExists(L"Software\\Alias"));

    // A key that cannot tell whether it is a link is not deleted by name.
    registry.CreateLink(Top + L"\\link", L"Software\\Neighbour");
    registry.Fail(Call::QuerySize, Top + L"\\link", RegError::AccessDenied);
    EXPECT_FALSE(DeleteRegKeyTree(parent, L"Top"));
    EXPECT_TRUE(registry.KeyExists(Top));
    CloseRegKey(parent);
}

const std::wstring Separator = L"\r\n----------------------------------------\r\n";
const std::wstring ClosingLine = L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.\r\n";
const std::wstring Prompt = L"Are you sure you want to delete registry entries for Vestrel Classes";

class DeleteCommandTest : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();
    std::vector<SuiteClass> suite = SuiteClasses();
    FakeView view;
    Form1 form{view};

    void SetUp() override
    {
        registry.Reset();
        FakeSystem::Instance().Reset();
        for (const auto& c : suite)
            Register(registry, c);
        // Registrations that are not the suite's must survive every Delete.
        registry.SetString(L"Software\\Classes\\Other.App", L"", L"Other");
        registry.SetString(L"Software\\Classes\\CLSID\\{0THER000-0000-0000-0000-000000000000}\\InprocServer32", L"",
                           L"other.dll");
        registry.SetString(L"Software\\Classes\\TypeLib\\{0THER000-0000-0000-0000-000000000001}\\1.0", L"", L"Other");
    }

    void TearDown() override
    {
        EXPECT_EQ(registry.OpenHandleCount(), 0) << "a key was left open";
        EXPECT_EQ(registry.StrayCloseCount(), 0);
        EXPECT_TRUE(registry.KeyExists(L"Software\\Classes\\Other.App"));
        EXPECT_TRUE(registry.KeyExists(L"Software\\Classes\\CLSID\\{0THER000-0000-0000-0000-000000000000}"));
        EXPECT_TRUE(registry.KeyExists(L"Software\\Classes\\TypeLib\\{0THER000-0000-0000-0000-000000000001}"));
    }

    // Runs Load and returns the log so far, so tests can assert what Delete adds.
    std::wstring Load()
    {
        form.cmdLoad_Click();
        return view.log;
    }

    static std::wstring Block(const std::wstring& progId, const std::wstring& typeLibResult,
                              const std::wstring& clsidResult, const std::wstring& progIdResult)
    {
        return L"\r\nDeleting TypeLib Entries for the Class: " + progId + L"\r\n" + typeLibResult +
               L"Deleting CLSID Entries for the Class: " + progId + L"\r\n" + clsidResult +
               L"Deleting Class: " + progId + L"\r\n" + progIdResult;
    }

    // The block of class i when its keys are all there.
    std::wstring Deleted(std::size_t i, bool typeLibShared) const
    {
        const auto& c = suite[i];
        return Block(c.progId, typeLibShared ? L"\tAlready deleted.\r\n" : L"\tDeleted " + c.typeLib + L"\r\n",
                     L"\tDeleted " + c.clsid + L"\r\n", L"\tDeleted " + c.progId + L"\r\n");
    }

    bool SharesPrevious(std::size_t i) const { return i > 0 && suite[i].typeLib == suite[i - 1].typeLib; }
};

TEST_F(DeleteCommandTest, AnsweringNoChangesNothing)
{
    std::wstring before = Load();
    std::wstring registryBefore = registry.Dump();
    view.answerYes = false;
    registry.ClearCalls();
    form.cmdDelete_Click();
    EXPECT_EQ(view.questions, std::vector<std::wstring>{Prompt});
    EXPECT_EQ(view.log, before);
    EXPECT_EQ(registry.Dump(), registryBefore);
    EXPECT_TRUE(registry.Calls().empty());
}

TEST_F(DeleteCommandTest, ASuiteFoundByLoadIsRemovedWholeAndNothingElse)
{
    std::wstring before = Load();
    form.cmdDelete_Click();
    std::wstring expected = Separator;
    for (std::size_t i = 0; i < suite.size(); ++i)
        expected += Deleted(i, SharesPrevious(i));
    EXPECT_EQ(view.log, before + expected);
    EXPECT_FALSE(form.DeleteFailed);
    for (const auto& c : suite) {
        EXPECT_FALSE(registry.KeyExists(L"Software\\Classes\\" + c.progId));
        EXPECT_FALSE(registry.KeyExists(L"Software\\Classes\\CLSID\\" + c.clsid));
        EXPECT_FALSE(registry.KeyExists(L"Software\\Classes\\TypeLib\\" + c.typeLib));
    }
    // The lists keep the identifiers until the next Load.
    EXPECT_EQ((*form.ClsidList)[0], suite[0].clsid);
}

TEST_F(DeleteCommandTest, ASecondDeleteWithoutLoadFailsOnEveryKey)
{
    Load();
    form.cmdDelete_Click();
    std::wstring before = view.log;
    form.cmdDelete_Click();
    std::wstring expected = Separator;
    for (std::size_t i = 0; i < suite.size(); ++i) {
        const auto& c = suite[i];
        expected += Block(c.progId, L"\tERROR: Deleting " + c.typeLib + L"\r\n", L"\tERROR: Deleting " + c.clsid + L"\r\n",
                          L"\tERROR: Deleting " + c.progId + L"\r\n");
    }
    EXPECT_EQ(view.log, before + expected + ClosingLine);
    EXPECT_TRUE(form.DeleteFailed);
}

TEST_F(DeleteCommandTest, AClassWithoutProgIdHasBlankIdentifiers)
{
    registry.DeleteTree(L"Software\\Classes\\Glimmet.ctlGlimmet");
    registry.DeleteTree(L"Software\\Classes\\Wrenna.clsIFace");
    std::wstring before = Load();
    form.cmdDelete_Click();
    std::wstring expected = Separator;
    // Before any type library was deleted, "" equals the last deleted ID.
    expected += Block(L"Glimmet.ctlGlimmet", L"\tAlready deleted.\r\n", L"\tERROR: CLSID is blank.\r\n",
                      L"\tERROR: Deleting Glimmet.ctlGlimmet\r\n");
    for (std::size_t i = 1; i < 6; ++i)
        expected += Deleted(i, SharesPrevious(i));
    // After one was, "" is a blank ID.
    expected += Block(L"Wrenna.clsIFace", L"\tERROR: Typelib ID is blank.\r\n", L"\tERROR: CLSID is blank.\r\n",
                      L"\tERROR: Deleting Wrenna.clsIFace\r\n");
    for (std::size_t i = 7; i < suite.size(); ++i)
        expected += Deleted(i, SharesPrevious(i));
    EXPECT_EQ(view.log, before + expected + ClosingLine);
}

TEST_F(DeleteCommandTest, OnlyTheLastDeletedTypeLibraryCountsAndLetterCaseMatters)
{
    // Daskel.clsEntity names Glimmet's library again, after Daskel's was
    // deleted; Daskel.clsXFields names Daskel's in lower case.
    auto& entity = suite[3];
    registry.SetString(L"Software\\Classes\\CLSID\\" + entity.clsid + L"\\TypeLib", L"", suite[0].typeLib);
    std::wstring lowerDaskel = suite[4].typeLib;
    std::transform(lowerDaskel.begin(), lowerDaskel.end(), lowerDaskel.begin(), ::towlower);
    registry.SetString(L"Software\\Classes\\CLSID\\" + suite[4].clsid + L"\\TypeLib", L"", lowerDaskel);
    std::wstring before = Load();
    form.cmdDelete_Click();

    std::wstring expected = Separator + Deleted(0, false) + Deleted(1, false) + Deleted(2, true);
    expected += Block(entity.progId, L"\tERROR: Deleting " + suite[0].typeLib + L"\r\n",
                      L"\tDeleted " + entity.clsid + L"\r\n", L"\tDeleted " + entity.progId + L"\r\n");
    expected += Block(suite[4].progId, L"\tERROR: Deleting " + lowerDaskel + L"\r\n",
                      L"\tDeleted " + suite[4].clsid + L"\r\n", L"\tDeleted " + suite[4].progId + L"\r\n");
    // Failed attempts are not remembered: Daskel's is still the last deleted.
    expected += Deleted(5, true);
    for (std::size_t i = 6; i < suite.size(); ++i)
        expected += Deleted(i, SharesPrevious(i));
    EXPECT_EQ(view.log, before + expected + ClosingLine);
}

TEST_F(DeleteCommandTest, ATypeLibraryThatCannotBeDeletedIsTriedForEachClassNamingIt)
{
    const std::wstring daskel = suite[1].typeLib;
    registry.Fail(Call::Delete, L"Software\\Classes\\TypeLib\\" + daskel, RegError::AccessDenied);
    std::wstring before = Load();
    form.cmdDelete_Click();
    std::wstring expected = Separator + Deleted(0, false);
    for (std::size_t i = 1; i < 6; ++i) {
        const auto& c = suite[i];
        expected += Block(c.progId, L"\tERROR: Deleting " + daskel + L"\r\n", L"\tDeleted " + c.clsid + L"\r\n",
                          L"\tDeleted " + c.progId + L"\r\n");
    }
    for (std::size_t i = 6; i < suite.size(); ++i)
        expected += Deleted(i, SharesPrevious(i));
    EXPECT_EQ(view.log, before + expected + ClosingLine);
    // Its versions went; the refused key itself stays.
    EXPECT_TRUE(registry.KeyExists(L"Software\\Classes\\TypeLib\\" + daskel));
    EXPECT_FALSE(registry.KeyExists(L"Software\\Classes\\TypeLib\\" + daskel + L"\\1.0"));
}

TEST_F(DeleteCommandTest, AMissingTypeLibKeyIsReportedPerClassWithoutTheClosingLineButARefusedOneFails)
{
    std::wstring before = Load();
    registry.DeleteTree(L"Software\\Classes\\TypeLib");
    form.LoadFailed = false;
    form.cmdDelete_Click();
    std::wstring expected = Separator;
    for (const auto& c : suite) {
        expected += Block(c.progId,
                          L"ERROR: Could not locate the key in the Registry.\r\nSoftware\\CLASSES\\TypeLib\r\n",
                          L"\tDeleted " + c.clsid + L"\r\n", L"\tDeleted " + c.progId + L"\r\n");
    }
    EXPECT_EQ(view.log, before + expected);
    EXPECT_FALSE(form.DeleteFailed);
    EXPECT_TRUE(form.LoadFailed);
    registry.CreateKey(L"Software\\Classes\\TypeLib\\{0THER000-0000-0000-0000-000000000001}");

    // There but refused: its trees stay, and the run does not end as a success.
    registry.Fail(Call::Open, L"Software\\Classes\\TypeLib", RegError::AccessDenied);
    view.log.clear();
    form.cmdDelete_Click();
    EXPECT_TRUE(form.DeleteFailed);
    EXPECT_EQ(view.log.substr(view.log.size() - ClosingLine.size()), ClosingLine);
}

TEST_F(DeleteCommandTest, DeleteDoesNotTouchThePointer)
{
    Load();
    view.pointerChanges.clear();
    form.cmdDelete_Click();
    EXPECT_TRUE(view.pointerChanges.empty());
}

}  // namespace
