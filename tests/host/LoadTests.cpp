#include <gtest/gtest.h>

#include "console/Form1.h"
#include "registry/RegFuncs.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"
#include "tests/host/FakeView.h"
#include "tests/host/SuiteFixture.h"

namespace {

using Call = FakeRegistry::Call;
using namespace SuiteFixture;

const std::wstring Separator = L"\r\n----------------------------------------\r\n";
const std::wstring ClosingLine = L"\r\n*** ERROR IN LOADING - Scroll back to see the Errors.\r\n";

class LoadTest : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();
    std::vector<SuiteClass> suite = SuiteClasses();
    FakeView view;
    Form1 form{view};

    void SetUp() override
    {
        registry.Reset();
        FakeSystem::Instance().Reset();
    }

    void TearDown() override
    {
        EXPECT_EQ(registry.OpenHandleCount(), 0) << "a key was left open";
        EXPECT_EQ(registry.StrayCloseCount(), 0) << "a key was closed that was not open";
    }

    void RegisterSuite()
    {
        for (const auto& c : suite)
            Register(registry, c);
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

    // The report of a healthy suite with class `index` reported as `block`.
    std::wstring ReportWith(std::size_t index, const std::wstring& block, bool failed)
    {
        std::wstring report = Separator;
        for (std::size_t i = 0; i < suite.size(); ++i)
            report += i == index ? block : Healthy(suite[i]);
        return failed ? report + ClosingLine : report;
    }

    std::wstring ClassKey(std::size_t index) const { return L"Software\\Classes\\CLSID\\" + suite[index].clsid; }
};

TEST_F(LoadTest, NothingRegisteredReportsEveryClassMissingAndStillEnablesDelete)
{
    form.cmdLoad_Click();
    std::wstring expected = Separator;
    for (const wchar_t* progId :
         {L"Glimmet.ctlGlimmet", L"Daskel.clsDaskel", L"Daskel.clsEntities", L"Daskel.clsEntity",
          L"Daskel.clsXFields", L"Daskel.clsXField", L"Wrenna.clsIFace", L"Corvane.clsMail", L"Sulvary.clsPhone",
          L"Brenlow.clsIFace", L"Ladrisk.clsIFace", L"Omberly.clsOmberly", L"Vestrel.clsIFace",
          L"Vestrel.clsEMailIFace", L"Vestrel.clsLinkIFace"}) {
        expected += std::wstring(L"\r\nLoading Class Info: ") + progId +
                    L"\r\nERROR: Could not locate the key in the Registry.\r\nSoftware\\CLASSES\\" + progId +
                    L"\r\n";
    }
    expected += ClosingLine;
    EXPECT_EQ(view.log, expected);
    EXPECT_TRUE(form.LoadFailed);
    EXPECT_TRUE(view.deleteEnabled);
    EXPECT_EQ(*form.ClsidList, std::vector<std::wstring>(15));
    EXPECT_EQ(*form.TypeLibList, std::vector<std::wstring>(15));
    EXPECT_EQ(view.pointerChanges, (std::vector<int>{HourglassPointer, DefaultPointer}));
}

TEST_F(LoadTest, AHealthySuiteIsListedInFullAndItsIdentifiersRemembered)
{
    RegisterSuite();
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(99, L"", false));
    EXPECT_FALSE(form.LoadFailed);
    EXPECT_TRUE(view.deleteEnabled);
    ASSERT_EQ(form.ClassList->size(), 15u);
    EXPECT_EQ((*form.ClassList)[0], L"Glimmet.ctlGlimmet");
    EXPECT_EQ((*form.FileList), (std::vector<std::wstring>{L"Glimmet.ocx", L"Daskel.dll", L"Wrenna.dll",
                                                           L"Corvane.exe", L"Sulvary.exe", L"Brenlow.exe",
                                                           L"Ladrisk.exe", L"Omberly.exe", L"Vestrel.exe"}));
    for (std::size_t i = 0; i < suite.size(); ++i) {
        EXPECT_EQ((*form.ClsidList)[i], suite[i].clsid);
        EXPECT_EQ((*form.TypeLibList)[i], suite[i].typeLib);
    }
    // Two Daskel classes share one type library; each lists it in full.
    EXPECT_EQ(suite[1].typeLib, suite[2].typeLib);
}

TEST_F(LoadTest, AProgIdWithoutClsidSubkeyReportsTheMissingKeyAndClassId)
{
    RegisterSuite();
    registry.DeleteTree(L"Software\\Classes\\Daskel.clsEntity\\CLSID");
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(3,
                                   L"\r\nLoading Class Info: Daskel.clsEntity\r\n"
                                   L"Name: Daskel.clsEntity class\r\n"
                                   L"ERROR: Could not locate the key in the Registry.\r\n"
                                   L"Software\\CLASSES\\Daskel.clsEntity\\CLSID\r\n"
                                   L"ERROR: Class ID not found.\r\n",
                                   true));
    EXPECT_EQ((*form.ClsidList)[3], L"");
    EXPECT_EQ((*form.TypeLibList)[3], L"");
}

TEST_F(LoadTest, AMissingClassKeyOrTypeLibraryKeyIsReportedWithItsPath)
{
    RegisterSuite();
    registry.DeleteTree(ClassKey(0));
    registry.DeleteTree(L"Software\\Classes\\TypeLib\\" + suite[6].typeLib);
    form.cmdLoad_Click();
    std::wstring expected = Separator +
        L"\r\nLoading Class Info: Glimmet.ctlGlimmet\r\n"
        L"Name: Glimmet.ctlGlimmet class\r\n"
        L"CLSID: " + suite[0].clsid + L"\r\n"
        L"ERROR: Could not locate the key in the Registry.\r\n"
        L"Software\\CLASSES\\CLSID\\" + suite[0].clsid + L"\r\n";
    for (std::size_t i = 1; i < 6; ++i)
        expected += Healthy(suite[i]);
    expected +=
        L"\r\nLoading Class Info: Wrenna.clsIFace\r\n"
        L"Name: Wrenna.clsIFace class\r\n"
        L"CLSID: " + suite[6].clsid + L"\r\n"
        L"\tInprocServer32: C:\\WINDOWS\\system32\\Wrenna.dll\r\n"
        L"\tProgID: Wrenna.clsIFace\r\n"
        L"\tTypeLib: " + suite[6].typeLib + L"\r\n"
        L"\tVERSION: 1.0\r\n"
        L"ERROR: Could not locate the key in the Registry.\r\n"
        L"Software\\CLASSES\\TypeLib\\" + suite[6].typeLib + L"\r\n";
    for (std::size_t i = 7; i < 15; ++i)
        expected += Healthy(suite[i]);
    EXPECT_EQ(view.log, expected + ClosingLine);
    // The identifiers found before the failure are still remembered.
    EXPECT_EQ((*form.ClsidList)[0], suite[0].clsid);
    EXPECT_EQ((*form.TypeLibList)[6], suite[6].typeLib);
}

TEST_F(LoadTest, AClassKeyWithoutSubkeysOrWithoutTypeLibHasNoTypeLibraryId)
{
    RegisterSuite();
    registry.DeleteTree(ClassKey(7));
    registry.SetString(ClassKey(7), L"", L"bare");
    registry.DeleteTree(ClassKey(8) + L"\\TypeLib");
    form.cmdLoad_Click();
    std::wstring expected = Separator;
    for (std::size_t i = 0; i < 7; ++i)
        expected += Healthy(suite[i]);
    expected += L"\r\nLoading Class Info: Corvane.clsMail\r\n"
                L"Name: Corvane.clsMail class\r\n"
                L"CLSID: " + suite[7].clsid + L"\r\n"
                L"ERROR: Type Library ID not found.\r\n"
                L"\r\nLoading Class Info: Sulvary.clsPhone\r\n"
                L"Name: Sulvary.clsPhone class\r\n"
                L"CLSID: " + suite[8].clsid + L"\r\n"
                L"\tInprocServer32: C:\\WINDOWS\\system32\\Sulvary.dll\r\n"
                L"\tProgID: Sulvary.clsPhone\r\n"
                L"\tVERSION: 1.0\r\n"
                L"ERROR: Type Library ID not found.\r\n";
    for (std::size_t i = 9; i < 15; ++i)
        expected += Healthy(suite[i]);
    EXPECT_EQ(view.log, expected + ClosingLine);
    EXPECT_EQ((*form.TypeLibList)[7], L"");
    EXPECT_EQ((*form.TypeLibList)[8], L"");
}

TEST_F(LoadTest, TheTypeLibSubkeyIsFoundInAnyLetterCase)
{
    RegisterSuite();
    registry.DeleteTree(ClassKey(9) + L"\\TypeLib");
    registry.SetString(ClassKey(9) + L"\\TYPELIB", L"", suite[9].typeLib);
    registry.SetString(L"Software\\Classes\\TypeLib\\" + suite[9].typeLib + L"\\2.1", L"", L"Brenlow Library 2");
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(9,
                                   L"\r\nLoading Class Info: Brenlow.clsIFace\r\n"
                                   L"Name: Brenlow.clsIFace class\r\n"
                                   L"CLSID: " + suite[9].clsid + L"\r\n"
                                   L"\tInprocServer32: C:\\WINDOWS\\system32\\Brenlow.dll\r\n"
                                   L"\tProgID: Brenlow.clsIFace\r\n"
                                   L"\tTYPELIB: " + suite[9].typeLib + L"\r\n"
                                   L"\tVERSION: 1.0\r\n"
                                   L"\t\t1.0: Brenlow Library\r\n"
                                   L"\t\t2.1: Brenlow Library 2\r\n",
                                   false));
    EXPECT_EQ((*form.TypeLibList)[9], suite[9].typeLib);
}

TEST_F(LoadTest, AnEmptyClsidListsEveryClassKeyOfTheMachine)
{
    RegisterSuite();
    registry.SetString(L"Software\\Classes\\Omberly.clsOmberly\\CLSID", L"", L"");
    registry.SetString(L"Software\\Classes\\CLSID\\{99999999-0000-0000-0000-000000000000}", L"", L"Other");
    form.cmdLoad_Click();
    std::wstring block = L"\r\nLoading Class Info: Omberly.clsOmberly\r\n"
                         L"Name: Omberly.clsOmberly class\r\n"
                         L"CLSID: \r\n"
                         L"\t{99999999-0000-0000-0000-000000000000}: Other\r\n";
    for (const auto& c : suite)
        block += L"\t" + c.clsid + L": " + c.progId + L" class\r\n";
    block += L"ERROR: Type Library ID not found.\r\n";
    EXPECT_EQ(view.log, ReportWith(11, block, true));
    EXPECT_EQ((*form.ClsidList)[11], L"");
}

TEST_F(LoadTest, ASubkeyThatCannotBeOpenedIsReportedAndTheListingGoesOn)
{
    RegisterSuite();
    registry.Fail(Call::Open, ClassKey(12) + L"\\ProgID", RegError::AccessDenied);
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(12,
                                   L"\r\nLoading Class Info: Vestrel.clsIFace\r\n"
                                   L"Name: Vestrel.clsIFace class\r\n"
                                   L"CLSID: " + suite[12].clsid + L"\r\n"
                                   L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                                   L"ERROR: Could not locate the key in the Registry.\r\n"
                                   L"Software\\CLASSES\\CLSID\\" + suite[12].clsid + L"\\ProgID\r\n"
                                   L"\tTypeLib: " + suite[12].typeLib + L"\r\n"
                                   L"\tVERSION: 1.0\r\n"
                                   L"\t\t1.0: Vestrel Library\r\n",
                                   true));
}

TEST_F(LoadTest, AnEnumerationErrorEndsTheListingOfThatKey)
{
    RegisterSuite();
    registry.Fail(Call::Enum, ClassKey(13), RegError::AccessDenied, -1, 2);
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(13,
                                   L"\r\nLoading Class Info: Vestrel.clsEMailIFace\r\n"
                                   L"Name: Vestrel.clsEMailIFace class\r\n"
                                   L"CLSID: " + suite[13].clsid + L"\r\n"
                                   L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                                   L"\tProgID: Vestrel.clsEMailIFace\r\n"
                                   L"ERROR: Type Library ID not found.\r\n",
                                   true));
}

TEST_F(LoadTest, DefaultValuesThatAreNotTextShowEmptyAndExpandableOnesExpanded)
{
    RegisterSuite();
    FakeSystem::Instance().environment[L"SystemRoot"] = L"C:\\WINDOWS";
    registry.SetValue(ClassKey(14) + L"\\VERSION", L"", RegType::Dword, std::string("\1\0\0\0", 4));
    registry.SetString(ClassKey(14) + L"\\InprocServer32", L"", L"%SystemRoot%\\system32\\Vestrel.dll",
                       RegType::ExpandSz);
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, ReportWith(14,
                                   L"\r\nLoading Class Info: Vestrel.clsLinkIFace\r\n"
                                   L"Name: Vestrel.clsLinkIFace class\r\n"
                                   L"CLSID: " + suite[14].clsid + L"\r\n"
                                   L"\tInprocServer32: C:\\WINDOWS\\system32\\Vestrel.dll\r\n"
                                   L"\tProgID: Vestrel.clsLinkIFace\r\n"
                                   L"\tTypeLib: " + suite[14].typeLib + L"\r\n"
                                   L"\tVERSION: \r\n"
                                   L"\t\t1.0: Vestrel Library\r\n",
                                   false));
}

TEST_F(LoadTest, ASecondLoadAppendsItsReportAndReplacesTheLists)
{
    RegisterSuite();
    form.cmdLoad_Click();
    std::wstring first = view.log;
    registry.DeleteTree(L"Software\\Classes\\Glimmet.ctlGlimmet");
    form.cmdLoad_Click();
    EXPECT_EQ(view.log, first + ReportWith(0,
                                           L"\r\nLoading Class Info: Glimmet.ctlGlimmet\r\n"
                                           L"ERROR: Could not locate the key in the Registry.\r\n"
                                           L"Software\\CLASSES\\Glimmet.ctlGlimmet\r\n",
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
