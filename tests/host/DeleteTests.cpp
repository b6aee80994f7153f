#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "console/Form1.h"
#include "registry/RegFile.h"
#include "registry/RegFuncs.h"
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

const std::wstring Prompt = L"Are you sure you want to delete registry entries for Vestrel Classes";
const std::wstring BackupPath = L"C:\\ProgramData\\Tandrel\\Backups\\Delete-20261208-090507.reg";

class DeleteCommandTest : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();
    std::vector<SuiteClass> suite = SuiteClasses();
    const std::wstring closing = ClosingLine(L"DELETING");
    FakeView view;
    Form1 form{view};

    // The suite beside registrations that are not the suite's: those must
    // survive every Delete.
    void SetUp() override
    {
        Prepare(Machine::SuiteInstalled);
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

    // The block of class i when its CLSID and ProgID keys are deleted.
    std::wstring WithTypeLib(std::size_t i, const std::wstring& typeLibResult) const
    {
        return Block(suite[i].progId, typeLibResult, L"\tDeleted " + suite[i].clsid + L"\r\n",
                     L"\tDeleted " + suite[i].progId + L"\r\n");
    }

    // Delete's report when the classes not in `blocks` are deleted whole;
    // neighbours that share a type library find it deleted already.
    std::wstring Report(const std::map<std::size_t, std::wstring>& blocks) const
    {
        std::wstring report = Separator + L"\r\nBackup: " + BackupPath + L"\r\n";
        for (std::size_t i = 0; i < suite.size(); ++i) {
            bool shared = i > 0 && suite[i].typeLib == suite[i - 1].typeLib;
            report += blocks.count(i) ? blocks.at(i)
                                      : WithTypeLib(i, shared ? L"\tAlready deleted.\r\n"
                                                              : L"\tDeleted " + suite[i].typeLib + L"\r\n");
        }
        return report;
    }

    // What is left of the suite's ProgID, CLSID and TypeLib trees below
    // Software\Classes: of each, one subkey if it is still there, else its key.
    std::set<std::wstring> SuiteKeysLeft() const
    {
        std::set<std::wstring> left;
        for (const auto& c : suite) {
            for (std::wstring key : {c.progId + L"\\CLSID", L"CLSID\\" + c.clsid + L"\\InprocServer32",
                                     L"TypeLib\\" + c.typeLib + L"\\1.0"}) {
                if (!registry.KeyExists(L"Software\\Classes\\" + key))
                    key.erase(key.rfind(L'\\'));
                if (registry.KeyExists(L"Software\\Classes\\" + key))
                    left.insert(key);
            }
        }
        return left;
    }
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

// One way of changing the suite before Load, and what Delete then reports and leaves.
struct Change {
    const char* name;
    std::function<void(FakeRegistry&)> apply;
    std::map<std::size_t, std::wstring> blocks = {};  // by class; the others are deleted whole
    bool failed;                                      // the closing line follows
    std::set<std::wstring> left = {};                 // as SuiteKeysLeft() gives them
};

TEST_F(DeleteCommandTest, EachClassIsDeletedByTheIdentifiersLoadFoundAndNothingElse)
{
    const std::wstring daskel = L"{A0000000-0000-4000-8000-000000000001}";
    std::map<std::size_t, std::wstring> daskelRefused;
    for (std::size_t i = 1; i < 6; ++i)
        daskelRefused[i] = WithTypeLib(i, L"\tERROR: Deleting " + daskel + L"\r\n");
    const Change changes[] = {
        {.name = "the suite as installed", .apply = [](FakeRegistry&) {}, .failed = false},
        // Before any type library was deleted, "" equals the last deleted ID;
        // after one was, "" is a blank ID.
        {.name = "classes without ProgID",
         .apply = [](FakeRegistry& r) {
             r.DeleteTree(L"Software\\Classes\\Glimmet.ctlGlimmet");
             r.DeleteTree(L"Software\\Classes\\Wrenna.clsIFace");
         },
         .blocks = {{0, Block(L"Glimmet.ctlGlimmet", L"\tAlready deleted.\r\n", L"\tERROR: CLSID is blank.\r\n",
                              L"\tERROR: Deleting Glimmet.ctlGlimmet\r\n")},
                    {6, Block(L"Wrenna.clsIFace", L"\tERROR: Typelib ID is blank.\r\n", L"\tERROR: CLSID is blank.\r\n",
                              L"\tERROR: Deleting Wrenna.clsIFace\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000000}\\InprocServer32",
                  L"TypeLib\\{A0000000-0000-4000-8000-000000000000}\\1.0",
                  L"CLSID\\{C0000000-0000-4000-8000-000000000006}\\InprocServer32",
                  L"TypeLib\\{A0000000-0000-4000-8000-000000000002}\\1.0"}},
        {.name = "a CLSID of spaces",
         .apply = [](FakeRegistry& r) { r.SetString(L"Software\\Classes\\Glimmet.ctlGlimmet\\CLSID", L"", L" "); },
         .blocks = {{0, Block(L"Glimmet.ctlGlimmet", L"\tAlready deleted.\r\n", L"\tERROR: CLSID is blank.\r\n",
                              L"\tDeleted Glimmet.ctlGlimmet\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000000}\\InprocServer32",
                  L"TypeLib\\{A0000000-0000-4000-8000-000000000000}\\1.0"}},
        // Daskel.clsEntity names Glimmet's library again, after Daskel's was
        // deleted; Daskel.clsXFields names Daskel's in lower case. Failed
        // attempts are not remembered: Daskel's is still the last deleted.
        {.name = "only the last deleted type library counts, and letter case matters",
         .apply = [](FakeRegistry& r) {
             r.SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000003}\\TypeLib", L"",
                         L"{A0000000-0000-4000-8000-000000000000}");
             r.SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000004}\\TypeLib", L"",
                         L"{a0000000-0000-4000-8000-000000000001}");
         },
         .blocks = {{3, WithTypeLib(3, L"\tERROR: Deleting {A0000000-0000-4000-8000-000000000000}\r\n")},
                    {4, WithTypeLib(4, L"\tERROR: Deleting {a0000000-0000-4000-8000-000000000001}\r\n")}},
         .failed = true},
        // Its versions went; the refused key itself stays.
        {.name = "a type library that cannot be deleted is tried for each class naming it",
         .apply = [&daskel](FakeRegistry& r) {
             r.Fail(Call::Delete, L"Software\\Classes\\TypeLib\\" + daskel, RegError::AccessDenied);
         },
         .blocks = daskelRefused,
         .failed = true, .left = {L"TypeLib\\" + daskel}},
        // With a backslash an identifier names a key further down, reached
        // through keys that are not the class's: it is refused and both stay.
        // What the backup could not read whole is not deleted.
        {.name = "a class key whose values cannot be read",
         .apply = [](FakeRegistry& r) {
             r.Fail(Call::EnumValue, L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000007}\\ProgID",
                    RegError::AccessDenied);
         },
         .blocks = {{7, Block(L"Corvane.clsMail", L"\tDeleted {A0000000-0000-4000-8000-000000000003}\r\n",
                              L"\tERROR: Deleting {C0000000-0000-4000-8000-000000000007}: left whole, as the backup "
                              L"could not read all of it.\r\n",
                              L"\tDeleted Corvane.clsMail\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000007}\\InprocServer32"}},
        // A restore of the backup would call itself whole without that value.
        {.name = "a value name with a line break",
         .apply = [](FakeRegistry& r) {
             r.SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000007}\\InprocServer32",
                         L"Threading\nModel", L"Both");
         },
         .blocks = {{7, Block(L"Corvane.clsMail", L"\tDeleted {A0000000-0000-4000-8000-000000000003}\r\n",
                              L"\tERROR: Deleting {C0000000-0000-4000-8000-000000000007}: left whole, as the value "
                              L"Threading Model of HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\"
                              L"{C0000000-0000-4000-8000-000000000007}\\InprocServer32 has a line break in its name, "
                              L"which the backup cannot hold.\r\n",
                              L"\tDeleted Corvane.clsMail\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000007}\\InprocServer32"}},
        // Written once the first key has gone: after the backup was read.
        // The written key stays with the class key above it; its neighbours go.
        {.name = "a value written and a subkey added between the read and the deletion",
         .apply = [](FakeRegistry& r) {
             r.BeforeDeleting(L"Software\\Classes\\TypeLib\\{A0000000-0000-4000-8000-000000000000}\\1.0", [] {
                 auto& later = FakeRegistry::Instance();
                 later.SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000001}\\InprocServer32",
                                 L"ThreadingModel", L"Both");
                 later.CreateKey(L"Software\\Classes\\Wrenna.clsIFace\\CLSID\\Added");
             });
             // Stamped already, before the keys below it went.
             r.BeforeDeleting(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000000}\\VERSION", [] {
                 FakeRegistry::Instance().SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000000}",
                                                    L"", L"Changed");
             });
         },
         .blocks = {{0, Block(L"Glimmet.ctlGlimmet", L"\tDeleted {A0000000-0000-4000-8000-000000000000}\r\n",
                              L"\tERROR: Deleting {C0000000-0000-4000-8000-000000000000}\r\n"
                              L"\t\tHKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C0000000-0000-4000-8000-"
                              L"000000000000} was written after the backup read it; it stays, with the keys above "
                              L"it.\r\n",
                              L"\tDeleted Glimmet.ctlGlimmet\r\n")},
                    {1, Block(L"Daskel.clsDaskel", L"\tDeleted {A0000000-0000-4000-8000-000000000001}\r\n",
                              L"\tERROR: Deleting {C0000000-0000-4000-8000-000000000001}\r\n"
                              L"\t\tHKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C0000000-0000-4000-8000-"
                              L"000000000001}\\InprocServer32 was written after the backup read it; it stays, with the "
                              L"keys above it.\r\n",
                              L"\tDeleted Daskel.clsDaskel\r\n")},
                    {6, Block(L"Wrenna.clsIFace", L"\tDeleted {A0000000-0000-4000-8000-000000000002}\r\n",
                              L"\tDeleted {C0000000-0000-4000-8000-000000000006}\r\n",
                              L"\tERROR: Deleting Wrenna.clsIFace\r\n"
                              L"\t\tHKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wrenna.clsIFace\\CLSID was written after "
                              L"the backup read it; it stays, with the keys above it.\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000000}",
                  L"CLSID\\{C0000000-0000-4000-8000-000000000001}\\InprocServer32", L"Wrenna.clsIFace\\CLSID"}},
        {.name = "identifiers holding a backslash",
         .apply = [](FakeRegistry& r) {
             r.SetString(L"Software\\Classes\\Daskel.clsEntity\\CLSID", L"",
                         L"{C0000000-0000-4000-8000-000000000003}\\InprocServer32");
             r.SetString(L"Software\\Classes\\CLSID\\{C0000000-0000-4000-8000-000000000009}\\TypeLib", L"",
                         L"{A0000000-0000-4000-8000-000000000005}\\1.0");
         },
         .blocks = {{3, Block(L"Daskel.clsEntity", L"\tERROR: Typelib ID is blank.\r\n",
                              L"\tERROR: Deleting {C0000000-0000-4000-8000-000000000003}\\InprocServer32\r\n",
                              L"\tDeleted Daskel.clsEntity\r\n")},
                    {9, WithTypeLib(9, L"\tERROR: Deleting {A0000000-0000-4000-8000-000000000005}\\1.0\r\n")}},
         .failed = true,
         .left = {L"CLSID\\{C0000000-0000-4000-8000-000000000003}\\InprocServer32",
                  L"TypeLib\\{A0000000-0000-4000-8000-000000000005}\\1.0"}},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.name);
        SetUp();
        change.apply(registry);
        FakeView shown;
        Form1 deleter{shown};
        deleter.cmdLoad_Click();
        const std::wstring before = shown.log;
        const auto clsids = *deleter.ClsidList;
        deleter.cmdDelete_Click();
        EXPECT_EQ(shown.log, before + Report(change.blocks) + (change.failed ? closing : L""));
        EXPECT_EQ(deleter.DeleteFailed, change.failed);
        EXPECT_EQ(SuiteKeysLeft(), change.left);
        // The lists keep the identifiers until the next Load.
        EXPECT_EQ(*deleter.ClsidList, clsids);
        TearDown();
    }
}

// A backup goes only where nobody but administrators can change it: a folder
// that someone else owns, or may write to and that cannot be reset, keeps
// Delete from removing anything. So does another run holding the lock.
TEST_F(DeleteCommandTest, WithoutItsBackupNothingIsDeleted)
{
    const std::wstring tandrel = L"C:\\ProgramData\\Tandrel";
    const Account user{L"S-1-5-21-7-7-7-1001", L"WORKSTATION7\\joe"};
    const Account users{L"S-1-5-32-545", L"BUILTIN\\Users"};
    const Account administrators{L"S-1-5-32-544", L"BUILTIN\\Administrators"};
    struct Case {
        const char* name;
        std::function<void(FakeFiles&)> prepare;
        std::wstring error;  // "" when the backup is written and Delete goes on
    };
    const Case cases[] = {
        {"the file cannot be created", [](FakeFiles& f) { f.openErrors[BackupPath] = 5; },
         BackupPath + L": Windows error 5."},
        {"a folder that a standard user made first", [&](FakeFiles& f) { f.access[tandrel] = {user, {user}}; },
         tandrel + L": its owner is WORKSTATION7\\joe, not Administrators, SYSTEM, TrustedInstaller or the account "
                   L"Tandrel runs as, so others may have changed it."},
        {"a folder that users may write to, and that cannot be reset",
         [&](FakeFiles& f) {
             f.access[tandrel + L"\\Backups"] = {administrators, {administrators, users}};
             f.locked[tandrel + L"\\Backups"] = 5;
         },
         tandrel + L"\\Backups: BUILTIN\\Users may change it, and its permissions could not be reset: Windows error 5."},
        {"a link where the folder should be", [&](FakeFiles& f) { f.refusals[tandrel] = FileRefusal::Link; },
         tandrel + L": it is a symbolic link or a mount point, and Tandrel does not write through one."},
        {"no program data folder", [](FakeFiles&) { FakeSystem::Instance().programData.clear(); },
         L"the program data folder is not known."},
        {"another run holds the lock", [](FakeFiles&) { FakeSystem::Instance().runLockHeldElsewhere = true; },
         L"Another Tandrel run is in progress on this computer; nothing was done."},
        // Its own account may own the folder; what others may write is taken from them.
        {"a folder of its own that users may write to",
         [&](FakeFiles& f) {
             const Account self{L"S-1-5-21-7-7-7-500", L"WORKSTATION7\\admin"};
             f.access[tandrel] = {self, {users, {L"S-1-3-0", L"CREATOR OWNER"}}};
         },
         L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        FakeView shown;
        Form1 deleter{shown};
        deleter.cmdLoad_Click();
        const std::wstring before = shown.log;
        const std::wstring registryBefore = registry.Dump();
        auto& files = FakeFiles::Instance();
        c.prepare(files);
        CommandLog log(shown);
        const CommandOutcome deleted = DeleteSuite(deleter, log, {});
        EXPECT_EQ(deleted.reason == VerdictReason::BackupFailed,
                  !c.error.empty() && !FakeSystem::Instance().runLockHeldElsewhere);
        EXPECT_EQ(deleted.backup.empty(), !c.error.empty());
        if (c.error.empty()) {
            EXPECT_EQ(shown.log, before + Report({}));
            EXPECT_EQ(files.access[tandrel].writers.size(), 2u) << "the folder was not reset";
        } else if (c.error.starts_with(L"Another")) {
            EXPECT_EQ(shown.log, before + Separator + c.error + L"\r\n");
        } else {
            EXPECT_EQ(shown.log, before + Separator + L"\r\nERROR: Backup not written: " + c.error + L"\r\n" + closing);
            EXPECT_TRUE(deleter.DeleteFailed);
        }
        if (!c.error.empty()) {
            EXPECT_EQ(registry.Dump(), registryBefore);
        }
        TearDown();
    }

    // An earlier backup of the same second is never replaced.
    SetUp();
    Load();
    FakeFiles::Instance().contents[BackupPath] = "earlier";
    form.cmdDelete_Click();
    EXPECT_NE(view.log.find(L"\r\nBackup: " + BackupPath.substr(0, BackupPath.size() - 4) + L"-2.reg\r\n"),
              std::wstring::npos);
    EXPECT_EQ(FakeFiles::Instance().contents[BackupPath], "earlier");
    std::wstring backup = DecodeUtf16File(FakeFiles::Instance().contents[BackupPath.substr(0, BackupPath.size() - 4) +
                                                                         L"-2.reg"])
                              .value_or(L"");
    EXPECT_EQ(backup.substr(0, backup.find(L"\r\n", 40)),
              L"Windows Registry Editor Version 5.00\r\n; Tandrel " TANDREL_VERSION
              L" (32-bit) on WORKSTATION7, 2026-12-08T09:05:07+01:00, Windows 10.0.19045, as CONTOSO7\\admin; from the "
              L"window");
}

TEST_F(DeleteCommandTest, ASecondDeleteWithoutLoadFailsOnEveryKey)
{
    Load();
    form.cmdDelete_Click();
    std::wstring before = view.log;
    form.cmdDelete_Click();
    std::wstring expected = Separator;
    for (const auto& c : suite) {
        expected += Block(c.progId, L"\tERROR: Deleting " + c.typeLib + L"\r\n",
                          L"\tERROR: Deleting " + c.clsid + L"\r\n", L"\tERROR: Deleting " + c.progId + L"\r\n");
    }
    EXPECT_EQ(view.log, before + expected + closing);
    EXPECT_TRUE(form.DeleteFailed);
}

TEST_F(DeleteCommandTest, AMissingTypeLibKeyIsReportedPerClassWithoutTheClosingLineButARefusedOneFails)
{
    std::wstring before = Load();
    registry.DeleteTree(L"Software\\Classes\\TypeLib");
    form.LoadFailed = false;
    form.cmdDelete_Click();
    std::wstring expected = Separator + L"\r\nBackup: " + BackupPath + L"\r\n";
    for (std::size_t i = 0; i < suite.size(); ++i)
        expected += WithTypeLib(i, L"ERROR: Could not locate the key in the Registry.\r\n"
                                   L"Software\\CLASSES\\TypeLib\r\n");
    EXPECT_EQ(view.log, before + expected);
    EXPECT_FALSE(form.DeleteFailed);
    EXPECT_TRUE(form.LoadFailed);
    registry.CreateKey(L"Software\\Classes\\TypeLib\\{0THER000-0000-0000-0000-000000000001}");

    // There but refused: its trees stay, and the run does not end as a success.
    registry.Fail(Call::Open, L"Software\\Classes\\TypeLib", RegError::AccessDenied);
    view.log.clear();
    form.cmdDelete_Click();
    EXPECT_TRUE(form.DeleteFailed);
    EXPECT_EQ(view.log.substr(view.log.size() - closing.size()), closing);
}

TEST_F(DeleteCommandTest, DeleteDoesNotTouchThePointer)
{
    Load();
    view.pointerChanges.clear();
    form.cmdDelete_Click();
    EXPECT_TRUE(view.pointerChanges.empty());
}

}  // namespace
