// Registry and App Paths behaviour that must hold both against the in-memory
// registry and against the real registry API under Wine.
#include <gtest/gtest.h>

#include "helpers/FuncLib.h"
#include "registry/RegFuncs.h"
#include "tests/common/TestRegistry.h"

namespace {

const std::wstring Scratch = L"Software\\TandrelTest";
const std::wstring AppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::wstring TestExe = L"TandrelTestApp.exe";

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestRegistry::DeleteTree(Scratch);
        TestRegistry::DeleteTree(AppPaths + TestExe);
        TestRegistry::CreateKey(Scratch);
    }
    void TearDown() override
    {
        TestRegistry::DeleteTree(Scratch);
        TestRegistry::DeleteTree(AppPaths + TestExe);
    }

    // Opens a key below the scratch key, or fails the test.
    RegKey Open(const std::wstring& path = L"")
    {
        RegKey key = RegKey::None;
        EXPECT_TRUE(OpenRegKey(RegKey::LocalMachine, path.empty() ? Scratch : Scratch + L"\\" + path, key));
        return key;
    }

    std::wstring ReadScratch(const std::wstring& valueName, bool& ok)
    {
        RegKey key = Open();
        std::wstring value = L"untouched";
        ok = GetRegString(key, valueName, value);
        CloseRegKey(key);
        return value;
    }

    std::wstring AppPathWith(std::uint32_t type, const std::string& data)
    {
        TestRegistry::SetString(AppPaths + TestExe, L"", data, type);
        return AppPathOf(TestExe);
    }
};

TEST_F(RegistryContract, OpeningAMissingKeyFailsAndLeavesTheHandleAtNone)
{
    RegKey key = RegKey::None;
    EXPECT_FALSE(OpenRegKey(RegKey::LocalMachine, Scratch + L"\\Missing", key));
    EXPECT_EQ(key, RegKey::None);
}

TEST_F(RegistryContract, AnOpenKeyServesAsRootForItsSubkeys)
{
    TestRegistry::SetString(Scratch + L"\\Child\\Grandchild", L"", "deep");
    RegKey parent = Open(L"Child");
    RegKey child = RegKey::None;
    ASSERT_TRUE(OpenRegKey(parent, L"Grandchild", child));
    std::wstring value;
    EXPECT_TRUE(GetRegString(child, L"", value));
    EXPECT_EQ(value, L"deep");
    EXPECT_TRUE(CloseRegKey(child));
    EXPECT_TRUE(CloseRegKey(parent));
}

TEST_F(RegistryContract, PathsMayEndInOrDoubleASeparatorButNotStartWithOne)
{
    TestRegistry::CreateKey(Scratch + L"\\Child");
    RegKey key = RegKey::None;
    EXPECT_TRUE(OpenRegKey(RegKey::LocalMachine, Scratch + L"\\", key));
    CloseRegKey(key);
    key = RegKey::None;
    EXPECT_TRUE(OpenRegKey(RegKey::LocalMachine, Scratch + L"\\\\Child", key));
    CloseRegKey(key);
    key = RegKey::None;
    EXPECT_FALSE(OpenRegKey(RegKey::LocalMachine, L"\\" + Scratch, key));
    EXPECT_EQ(key, RegKey::None);
}

TEST_F(RegistryContract, ClosingNoneFailsAndClosingTwiceFails)
{
    EXPECT_FALSE(CloseRegKey(RegKey::None));
    RegKey key = Open();
    EXPECT_TRUE(CloseRegKey(key));
    EXPECT_FALSE(CloseRegKey(key));
}

TEST_F(RegistryContract, EnumeratingAKeyWithoutSubkeysGives259AndABlankName)
{
    RegKey key = Open();
    std::wstring name = L"before";
    EXPECT_EQ(EnumRegSubKey(key, 0, name), 259);
    EXPECT_EQ(name, std::wstring(300, L' '));
    EXPECT_TRUE(IsBlank(name));
    CloseRegKey(key);
}

TEST_F(RegistryContract, SubkeysEnumerateSortedWithoutRegardToCaseAndEndWith259)
{
    TestRegistry::CreateKey(Scratch + L"\\gamma");
    TestRegistry::CreateKey(Scratch + L"\\Alpha");
    TestRegistry::CreateKey(Scratch + L"\\beta");
    RegKey key = Open();
    std::wstring name;
    EXPECT_EQ(EnumRegSubKey(key, 0, name), 0);
    EXPECT_EQ(name, L"Alpha");
    EXPECT_EQ(EnumRegSubKey(key, 1, name), 0);
    EXPECT_EQ(name, L"beta");
    EXPECT_EQ(EnumRegSubKey(key, 2, name), 0);
    EXPECT_EQ(name, L"gamma");
    EXPECT_EQ(EnumRegSubKey(key, 3, name), 259);
    EXPECT_TRUE(IsBlank(name));
    CloseRegKey(key);
}

TEST_F(RegistryContract, MissingValuesAndValuesThatAreNotTextAreRefusedAndLeaveTheArgumentUntouched)
{
    TestRegistry::SetValue(Scratch, L"Binary", 3, std::string("\x01\x02\x03", 3));
    TestRegistry::SetValue(Scratch, L"Dword", 4, std::string("\x2a\0\0\0", 4));
    TestRegistry::SetValue(Scratch, L"Multi", 7, std::string("one\0two\0\0", 9));
    for (const wchar_t* name : {L"Nothing", L"Binary", L"Dword", L"Multi"}) {
        bool ok = true;
        EXPECT_EQ(ReadScratch(name, ok), L"untouched") << name;
        EXPECT_FALSE(ok) << name;
    }
}

TEST_F(RegistryContract, TextIsCutAtItsFirstNulAndMayComeWithoutOne)
{
    TestRegistry::SetValue(Scratch, L"Empty", 1, std::string());
    TestRegistry::SetValue(Scratch, L"WithNul", 1, std::string("text\0", 5));
    TestRegistry::SetValue(Scratch, L"WithoutNul", 1, std::string("bare"));
    TestRegistry::SetValue(Scratch, L"Inner", 1, std::string("front\0back\0", 11));
    bool ok = false;
    EXPECT_EQ(ReadScratch(L"Empty", ok), L"");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadScratch(L"WithNul", ok), L"text");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadScratch(L"WithoutNul", ok), L"bare");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadScratch(L"Inner", ok), L"front");
    EXPECT_TRUE(ok);
}

TEST_F(RegistryContract, OnlyExpandableTextHasItsEnvironmentReferencesReplaced)
{
    TestRegistry::SetEnvironment(L"TANDREL_TEST_DIR", L"D:\\Suite");
    TestRegistry::SetString(Scratch, L"Plain", "%TANDREL_TEST_DIR%\\bin", 1);
    TestRegistry::SetString(Scratch, L"Expand", "%TANDREL_TEST_DIR%\\bin", 2);
    TestRegistry::SetString(Scratch, L"Unknown", "%TANDREL_NO_SUCH_VAR%\\bin", 2);
    bool ok = false;
    EXPECT_EQ(ReadScratch(L"Plain", ok), L"%TANDREL_TEST_DIR%\\bin");
    EXPECT_EQ(ReadScratch(L"Expand", ok), L"D:\\Suite\\bin");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadScratch(L"Unknown", ok), L"%TANDREL_NO_SUCH_VAR%\\bin");
}

TEST_F(RegistryContract, AnExpansionLongerThan1023CharactersComesBackWhole)
{
    std::wstring longValue(1500, L'x');
    TestRegistry::SetEnvironment(L"TANDREL_LONG", longValue);
    TestRegistry::SetString(Scratch, L"Long", "C:\\%TANDREL_LONG%\\end", 2);
    bool ok = false;
    EXPECT_EQ(ReadScratch(L"Long", ok), L"C:\\" + longValue + L"\\end");
    EXPECT_TRUE(ok);
}

TEST_F(RegistryContract, TheDefaultValueIsReadThroughTheEmptyName)
{
    TestRegistry::SetString(Scratch, L"", "default text");
    TestRegistry::SetString(Scratch, L"Named", "named text");
    bool ok = false;
    EXPECT_EQ(ReadScratch(L"", ok), L"default text");
    EXPECT_EQ(ReadScratch(L"Named", ok), L"named text");
}

TEST_F(RegistryContract, DeletingRemovesOnlyAKeyWithoutSubkeys)
{
    TestRegistry::CreateKey(Scratch + L"\\Leaf");
    TestRegistry::CreateKey(Scratch + L"\\Branch\\Twig");
    RegKey key = Open();
    EXPECT_TRUE(DeleteRegKey(key, L"Leaf"));
    EXPECT_FALSE(DeleteRegKey(key, L"Branch"));
    EXPECT_FALSE(DeleteRegKey(key, L"Missing"));
    CloseRegKey(key);
    EXPECT_FALSE(TestRegistry::KeyExists(Scratch + L"\\Leaf"));
    EXPECT_TRUE(TestRegistry::KeyExists(Scratch + L"\\Branch\\Twig"));
}

TEST_F(RegistryContract, AKeyDeletedThroughItsParentWhileOpenCanStillBeClosed)
{
    TestRegistry::CreateKey(Scratch + L"\\Doomed");
    RegKey parent = Open();
    RegKey doomed = Open(L"Doomed");
    EXPECT_TRUE(DeleteRegKey(parent, L"Doomed"));
    std::wstring name;
    EXPECT_NE(EnumRegSubKey(doomed, 0, name), 0);
    EXPECT_TRUE(CloseRegKey(doomed));
    CloseRegKey(parent);
}

TEST_F(RegistryContract, CurrentVersionKeyNamesTheSystemKeyWithoutTrailingSeparator)
{
    EXPECT_EQ(CurrentVersionKey(), L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
}

TEST_F(RegistryContract, AppPathOfGivesTheDirectoryOfTheRegisteredExecutable)
{
    EXPECT_EQ(AppPathWith(1, "C:\\Program Files\\Vestrel\\Vestrel.exe"), L"C:\\Program Files\\Vestrel\\");
    EXPECT_EQ(AppPathWith(1, "\"C:\\Program Files\\Vestrel\\Vestrel.exe\""), L"C:\\Program Files\\Vestrel\\");
    EXPECT_EQ(AppPathWith(1, "C:/apps/Vestrel.exe"), L"C:/apps/");
    EXPECT_EQ(AppPathWith(1, "C:\\apps/Vestrel.exe"), L"C:\\");
}

TEST_F(RegistryContract, AppPathOfExpandsAnExpandableEntry)
{
    TestRegistry::SetEnvironment(L"TANDREL_SUITE", L"E:\\Suite");
    EXPECT_EQ(AppPathWith(2, "%TANDREL_SUITE%\\Vestrel.exe"), L"E:\\Suite\\");
}

TEST_F(RegistryContract, AppPathOfGivesNothingWithoutADirectory)
{
    EXPECT_EQ(AppPathOf(TestExe), L"");
    TestRegistry::CreateKey(AppPaths + TestExe);
    EXPECT_EQ(AppPathOf(TestExe), L"");
    EXPECT_EQ(AppPathWith(1, "Vestrel.exe"), L"");
    EXPECT_EQ(AppPathWith(1, ""), L"");
    TestRegistry::SetValue(AppPaths + TestExe, L"", 4, std::string("\1\0\0\0", 4));
    EXPECT_EQ(AppPathOf(TestExe), L"");
}

}  // namespace
