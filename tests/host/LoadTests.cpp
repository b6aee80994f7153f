#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "console/Form1.h"
#include "registry/RegFuncs.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

using Call = FakeRegistry::Call;
using namespace SuiteFixture;

std::wstring ClassKey(int index)
{
    return L"Software\\Classes\\CLSID\\" + Guid(index, L'C');
}

class LoadTest : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();
    std::vector<SuiteClass> suite = SuiteClasses();
    FakeView view;
    Form1 form{view};

    void SetUp() override { ResetFakes(); }
    void TearDown() override { ExpectKeysClosed(); }

    void ExpectKeysClosed() const
    {
        EXPECT_EQ(registry.OpenHandleCount(), 0) << "a key was left open";
        EXPECT_EQ(registry.StrayCloseCount(), 0) << "a key was closed that was not open";
    }

    static std::wstring Healthy(const SuiteClass& c)
    {
        return L"\r\nLoading Class Info: " + c.progId + L"\r\n" +
               L"Name: " + c.progId + L" class\r\n" +
               L"CLSID: " + c.clsid + L"\r\n" +
               L"\tInprocServer32: C:\\WINDOWS\\system32\\" + c.library + L".dll\r\n" +
               L"\tProgID: " + c.progId + L"\r\n" +
               L"\tTypeLib: " + c.typeLib + L"\r\n" +
               L"\tVERSION: 1.0\r\n" +
               L"\t\t1.0: " + c.library + L" Library\r\n";
    }

    // The report of a healthy suite with the classes in `blocks` reported as given.
    std::wstring Report(const std::map<std::size_t, std::wstring>& blocks, bool failed) const
    {
        std::wstring report = Separator;
        for (std::size_t i = 0; i < suite.size(); ++i)
            report += blocks.count(i) ? blocks.at(i) : Healthy(suite[i]);
        return failed ? report + ClosingLine(L"LOADING") : report;
    }
};

TEST_F(LoadTest, NothingRegisteredReportsEveryClassMissingAndStillEnablesDelete)
{
    form.cmdLoad_Click();
    std::wstring expected = Separator;
    for (const auto& c : suite) {
        expected += L"\r\nLoading Class Info: " + c.progId +
                    L"\r\nERROR: Could not locate the key in the Registry.\r\nSoftware\\CLASSES\\" + c.progId + L"\r\n";
    }
    EXPECT_EQ(view.log, expected + ClosingLine(L"LOADING"));
    EXPECT_TRUE(form.LoadFailed);
    EXPECT_TRUE(view.deleteEnabled);
    EXPECT_EQ(*form.ClsidList, std::vector<std::wstring>(15));
    EXPECT_EQ(*form.TypeLibList, std::vector<std::wstring>(15));
    EXPECT_EQ(view.pointerChanges, (std::vector<int>{HourglassPointer, DefaultPointer}));
}

TEST_F(LoadTest, AHealthySuiteIsListedInFullAndItsIdentifiersRemembered)
{
    Prepare(Machine::SuiteInstalled);
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, Report({}, false));
    EXPECT_FALSE(form.LoadFailed);
    EXPECT_TRUE(view.deleteEnabled);
    ASSERT_EQ(form.ClassList->size(), 15u);
    EXPECT_EQ((*form.ClassList)[0], L"Glimmet.ctlGlimmet");
    EXPECT_EQ(*form.FileList, Files);
    for (std::size_t i = 0; i < suite.size(); ++i) {
        EXPECT_EQ((*form.ClsidList)[i], suite[i].clsid);
        EXPECT_EQ((*form.TypeLibList)[i], suite[i].typeLib);
    }
    // Two Daskel classes share one type library; each lists it in full.
    EXPECT_EQ((*form.TypeLibList)[1], (*form.TypeLibList)[2]);
}

// One way of damaging a healthy suite, and what Load then shows and remembers.
struct Damage {
    const char* name;
    std::function<void(FakeRegistry&)> apply;
    std::map<std::size_t, std::wstring> blocks;  // by class; the others are healthy
    bool failed;                                 // the closing line follows
    std::map<std::size_t, std::wstring> clsids = {};
    std::map<std::size_t, std::wstring> typeLibs = {};
};

TEST_F(LoadTest, DamageShowsInTheBlockOfTheClassItTouches)
{
    std::wstring suiteClassKeys;
    for (const auto& c : suite)
        suiteClassKeys += L"\t" + c.clsid + L": " + c.progId + L" class\r\n";
    const Damage damages[] = {
        {.name = "a ProgID without its CLSID subkey",
         .apply = [](FakeRegistry& r) { r.DeleteTree(L"Software\\Classes\\Daskel.clsEntity\\CLSID"); },
         .blocks = {{3, L"\r\nLoading Class Info: Daskel.clsEntity\r\n"
                        L"Name: Daskel.clsEntity class\r\n"
                        L"ERROR: Could not locate the key in the Registry.\r\n"
                        L"Software\\CLASSES\\Daskel.clsEntity\\CLSID\r\n"
                        L"ERROR: Class ID not found.\r\n"}},
         .failed = true, .clsids = {{3, L""}}, .typeLibs = {{3, L""}}},
        // The identifiers found before the failure are still remembered.
        {.name = "a missing class key or type library key",
         .apply = [](FakeRegistry& r) {
             r.DeleteTree(ClassKey(0));
             r.DeleteTree(L"Software\\Classes\\TypeLib\\" + Guid(2, L'A'));
         },
         .blocks = {{0, L"\r\nLoading Class Info: Glimmet.ctlGlimmet\r\n"
                        L"Name: Glimmet.ctlGlimmet class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000000}\r\n"
                        L"ERROR: Could not locate the key in the Registry.\r\n"
                        L"Software\\CLASSES\\CLSID\\{C0000000-0000-4000-8000-000000000000}\r\n"},
                    {6, L"\r\nLoading Class Info: Wrenna.clsIFace\r\n"
                        L"Name: Wrenna.clsIFace class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000006}\r\n"
                        L"\tInprocServer32: C:\\WINDOWS\\system32\\Wrenna.dll\r\n"
                        L"\tProgID: Wrenna.clsIFace\r\n"
                        L"\tTypeLib: {A0000000-0000-4000-8000-000000000002}\r\n"
                        L"\tVERSION: 1.0\r\n"
                        L"ERROR: Could not locate the key in the Registry.\r\n"
                        L"Software\\CLASSES\\TypeLib\\{A0000000-0000-4000-8000-000000000002}\r\n"}},
         .failed = true, .clsids = {{0, L"{C0000000-0000-4000-8000-000000000000}"}},
         .typeLibs = {{6, L"{A0000000-0000-4000-8000-000000000002}"}}},
        {.name = "a class key without subkeys, another without TypeLib",
         .apply = [](FakeRegistry& r) {
             r.DeleteTree(ClassKey(7));
             r.SetString(ClassKey(7), L"", L"bare");
             r.DeleteTree(ClassKey(8) + L"\\TypeLib");
         },
         .blocks = {{7, L"\r\nLoading Class Info: Corvane.clsMail\r\n"
                        L"Name: Corvane.clsMail class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000007}\r\n"
                        L"ERROR: Type Library ID not found.\r\n"},
                    {8, L"\r\nLoading Class Info: Sulvary.clsPhone\r\n"
                        L"Name: Sulvary.clsPhone class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000008}\r\n"
                        L"\tInprocServer32: C:\\WINDOWS\\system32\\Sulvary.dll\r\n"
                        L"\tProgID: Sulvary.clsPhone\r\n"
                        L"\tVERSION: 1.0\r\n"
                        L"ERROR: Type Library ID not found.\r\n"}},
         .failed = true, .typeLibs = {{7, L""}, {8, L""}}},
        {.name = "a TypeLib of spaces",
         .apply = [](FakeRegistry& r) { r.SetString(ClassKey(8) + L"\\TypeLib", L"", L"  "); },
         .blocks = {{8, L"\r\nLoading Class Info: Sulvary.clsPhone\r\n"
                        L"Name: Sulvary.clsPhone class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000008}\r\n"
                        L"\tInprocServer32: C:\\WINDOWS\\system32\\Sulvary.dll\r\n"
                        L"\tProgID: Sulvary.clsPhone\r\n"
                        L"\tTypeLib:   \r\n"
                        L"\tVERSION: 1.0\r\n"
                        L"ERROR: Type Library ID not found.\r\n"}},
         .failed = true, .typeLibs = {{8, L"  "}}},
        {.name = "the TypeLib subkey in another letter case",
         .apply = [](FakeRegistry& r) {
             r.DeleteTree(ClassKey(9) + L"\\TypeLib");
             r.SetString(ClassKey(9) + L"\\TYPELIB", L"", Guid(5, L'A'));
             r.SetString(L"Software\\Classes\\TypeLib\\" + Guid(5, L'A') + L"\\2.1", L"", L"Brenlow Library 2");
         },
         .blocks = {{9, L"\r\nLoading Class Info: Brenlow.clsIFace\r\n"
                        L"Name: Brenlow.clsIFace class\r\n"
                        L"CLSID: {C0000000-0000-4000-8000-000000000009}\r\n"
                        L"\tInprocServer32: C:\\WINDOWS\\system32\\Brenlow.dll\r\n"
                        L"\tProgID: Brenlow.clsIFace\r\n"
                        L"\tTYPELIB: {A0000000-0000-4000-8000-000000000005}\r\n"
                        L"\tVERSION: 1.0\r\n"
                        L"\t\t1.0: Brenlow Library\r\n"
                        L"\t\t2.1: Brenlow Library 2\r\n"}},
         .failed = false, .typeLibs = {{9, L"{A0000000-0000-4000-8000-000000000005}"}}},
        // The CLSID key itself is listed: every class key of the machine.
        {.name = "an empty CLSID",
         .apply = [](FakeRegistry& r) {
             r.SetString(L"Software\\Classes\\Omberly.clsOmberly\\CLSID", L"", L"");
             r.SetString(L"Software\\Classes\\CLSID\\{99999999-0000-0000-0000-000000000000}", L"", L"Other");
         },
         .blocks = {{11, L"\r\nLoading Class Info: Omberly.clsOmberly\r\n"
                         L"Name: Omberly.clsOmberly class\r\n"
                         L"CLSID: \r\n"
                         L"\t{99999999-0000-0000-0000-000000000000}: Other\r\n" +
                             suiteClassKeys + L"ERROR: Type Library ID not found.\r\n"}},
         .failed = true, .clsids = {{11, L""}}},
        {.name = "a subkey that cannot be opened",
         .apply = [](FakeRegistry& r) { r.Fail(Call::Open, ClassKey(12) + L"\\ProgID", RegError::AccessDenied); },
         .blocks = {{12, L"\r\nLoading Class Info: Vestrel.clsIFace\r\n"
                         L"Name: Vestrel.clsIFace class\r\n"
                         L"CLSID: {C0000000-0000-4000-8000-000000000012}\r\n"
                         L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                         L"ERROR: Could not locate the key in the Registry.\r\n"
                         L"Software\\CLASSES\\CLSID\\{C0000000-0000-4000-8000-000000000012}\\ProgID\r\n"
                         L"\tTypeLib: {A0000000-0000-4000-8000-000000000008}\r\n"
                         L"\tVERSION: 1.0\r\n"
                         L"\t\t1.0: Vestrel Library\r\n"}},
         .failed = true},
        {.name = "an enumeration error at the third subkey",
         .apply = [](FakeRegistry& r) { r.Fail(Call::Enum, ClassKey(13), RegError::AccessDenied, -1, 2); },
         .blocks = {{13, L"\r\nLoading Class Info: Vestrel.clsEMailIFace\r\n"
                         L"Name: Vestrel.clsEMailIFace class\r\n"
                         L"CLSID: {C0000000-0000-4000-8000-000000000013}\r\n"
                         L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                         L"\tProgID: Vestrel.clsEMailIFace\r\n"
                         L"ERROR: Type Library ID not found.\r\n"}},
         .failed = true},
        {.name = "a number and an expandable text as default values",
         .apply = [](FakeRegistry& r) {
             FakeSystem::Instance().environment[L"SystemRoot"] = L"C:\\WINDOWS";
             r.SetValue(ClassKey(14) + L"\\VERSION", L"", RegType::Dword, std::string("\1\0\0\0", 4));
             r.SetString(ClassKey(14) + L"\\InprocServer32", L"", L"%SystemRoot%\\system32\\Vestrel.dll",
                         RegType::ExpandSz);
         },
         .blocks = {{14, L"\r\nLoading Class Info: Vestrel.clsLinkIFace\r\n"
                         L"Name: Vestrel.clsLinkIFace class\r\n"
                         L"CLSID: {C0000000-0000-4000-8000-000000000014}\r\n"
                         L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                         L"\tProgID: Vestrel.clsLinkIFace\r\n"
                         L"\tTypeLib: {A0000000-0000-4000-8000-000000000008}\r\n"
                         L"\tVERSION: \r\n"
                         L"\t\t1.0: Vestrel Library\r\n"}},
         .failed = false},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        Prepare(Machine::SuiteInstalled);
        damage.apply(registry);
        FakeView shown;
        Form1 loader{shown};
        loader.cmdLoad_Click();
        EXPECT_EQ(shown.log, Report(damage.blocks, damage.failed));
        EXPECT_EQ(loader.LoadFailed, damage.failed);
        for (const auto& [i, clsid] : damage.clsids)
            EXPECT_EQ((*loader.ClsidList)[i], clsid) << "class " << i;
        for (const auto& [i, typeLib] : damage.typeLibs)
            EXPECT_EQ((*loader.TypeLibList)[i], typeLib) << "class " << i;
        ExpectKeysClosed();
    }
}

TEST_F(LoadTest, ASecondLoadAppendsItsReportAndReplacesTheLists)
{
    Prepare(Machine::SuiteInstalled);
    form.cmdLoad_Click();
    std::wstring first = view.log;
    registry.DeleteTree(L"Software\\Classes\\Glimmet.ctlGlimmet");
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, first + Report({{0, L"\r\nLoading Class Info: Glimmet.ctlGlimmet\r\n"
                                            L"ERROR: Could not locate the key in the Registry.\r\n"
                                            L"Software\\CLASSES\\Glimmet.ctlGlimmet\r\n"}},
                                       true));
    EXPECT_EQ((*form.ClsidList)[0], L"");
    EXPECT_EQ((*form.TypeLibList)[0], L"");
    EXPECT_EQ((*form.ClsidList)[1], suite[1].clsid);
}

TEST_F(LoadTest, ReadKeyValueHandsBackAnOpenKeyOrLogsTheMissingOne)
{
    registry.SetString(L"Software\\Present", L"", L"value");
    registry.CreateKey(L"Software\\NoDefault");
    std::wstring value = L"old";
    RegKey key = RegKey::None;
    EXPECT_TRUE(form.ReadKeyValue(RegKey::LocalMachine, L"Software\\Present", L"", value, false, key));
    EXPECT_EQ(value, L"value");
    EXPECT_NE(key, RegKey::None);
    EXPECT_EQ(registry.OpenHandleCount(), 1);
    CloseRegKey(key);

    EXPECT_TRUE(form.ReadKeyValue(RegKey::LocalMachine, L"Software\\NoDefault", L"", value, true, key));
    EXPECT_EQ(value, L"");
    EXPECT_FALSE(form.LoadFailed);

    key = static_cast<RegKey>(1);
    EXPECT_FALSE(form.ReadKeyValue(RegKey::LocalMachine, L"Software\\Absent", L"", value, false, key));
    EXPECT_EQ(key, RegKey::None);
    EXPECT_TRUE(form.LoadFailed);
    form.FlushLog();
    EXPECT_EQ(view.log, L"ERROR: Could not locate the key in the Registry.\r\nSoftware\\Absent\r\n");
}

}  // namespace
