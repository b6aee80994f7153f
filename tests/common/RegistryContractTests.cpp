// Registry and App Paths behaviour that must hold both against the in-memory
// registry and against the real registry API under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "helpers/FuncLib.h"
#include "platform/RegistryPlatform.h"
#include "registry/RegFuncs.h"
#include "registry/RegTreeRead.h"
#include "tests/common/TestRegistry.h"

namespace {

using namespace std::literals;

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

    // Reads the scratch tree, each key's values in name order (the systems order them differently).
    long ReadScratchTree(std::vector<RegKeyData>& keys)
    {
        long handles = TestRegistry::OpenHandleCount();
        long code = ReadRegTree(RegKey::LocalMachine, Scratch, keys);
        EXPECT_EQ(TestRegistry::OpenHandleCount(), handles) << "a key was left open";
        for (auto& key : keys)
            std::ranges::sort(key.values, {}, &RegValueData::name);
        return code;
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

// Text in UTF-16LE, as the wide calls give it.
std::string Wide(std::string_view text)
{
    std::string bytes;
    for (char c : text)
        bytes += {c, '\0'};
    return bytes;
}

TEST_F(RegistryContract, ATreeIsReadWholeParentFirstWithItsValuesAsStoredAndWrittenBackReadsTheSame)
{
    const std::wstring cyrillic = L"\u041A\u043B\u044E\u0447";  // in no ANSI code page that has Latin letters
    std::vector<RegValueData> top = {
        {L"Sz", 1, Wide("text\0"sv)}, {L"Expand", 2, Wide("%SystemRoot%\0"sv)}, {L"Multi", 7, Wide("a\0b\0\0"sv)},
        {L"Dword", 4, "\x2a\0\0\0"s}, {L"Qword", 11, "\1\2\3\4\5\6\7\x80"s}, {L"Binary", 3, "\0\xff"s},
        {L"None", 0, "\1"s}, {L"Odd", 0x12345, "\7"s}, {L"Empty", 3, ""}, {L"\u540D\u524D", 1, Wide("x\0"sv)}};
    for (const auto& value : top)
        TestRegistry::SetValueWide(Scratch, value.name, value.type, value.bytes);
    TestRegistry::SetValueWide(Scratch + L"\\" + cyrillic, L"", 4, "\1\0\0\0"s);
    // Text stored through an "A" call reads back as UTF-16LE with its NUL.
    TestRegistry::SetString(Scratch, L"", "top");
    TestRegistry::SetString(Scratch + L"\\Child\\Leaf", L"leaf", "deep");
    top.push_back({L"", 1, Wide("top\0"sv)});
    std::ranges::sort(top, {}, &RegValueData::name);

    std::vector<RegKeyData> keys;
    ASSERT_EQ(ReadScratchTree(keys), 0);
    ASSERT_FALSE(keys.empty());
    // Where the key physically is: a 32-bit process on 64-bit Windows finds it below Software\Wow6432Node.
    const std::wstring path = keys[0].path;
    EXPECT_TRUE(path.starts_with(L"HKEY_LOCAL_MACHINE\\") && path.ends_with(L"\\TandrelTest")) << path;
    EXPECT_EQ(keys, (std::vector<RegKeyData>{{path, top, L""}, {path + L"\\Child", {}, L""},
                                             {path + L"\\Child\\Leaf", {{L"leaf", 1, Wide("deep\0"sv)}}, L""},
                                             {path + L"\\" + cyrillic, {{L"", 4, "\1\0\0\0"s}}, L""}}));

    // Written back through the 64-bit view by those names, as a restore does.
    TestRegistry::DeleteTree(Scratch);
    for (const auto& key : keys) {
        RegKey created = RegKey::None;
        ASSERT_EQ(RegistryPlatform::CreateKey64(key.path.substr(L"HKEY_LOCAL_MACHINE\\"sv.size()), created), 0);
        for (const auto& value : key.values)
            EXPECT_EQ(RegistryPlatform::SetValueWide(created, value), 0) << value.name;
        EXPECT_TRUE(CloseRegKey(created));
    }
    std::vector<RegKeyData> again;
    EXPECT_EQ(ReadScratchTree(again), 0);
    EXPECT_EQ(again, keys);
}

TEST_F(RegistryContract, AMissingTreeGives2AndALinkIsReadAsItsTargetWithoutFollowingIt)
{
    std::vector<RegKeyData> keys(1);
    EXPECT_EQ(ReadRegTree(RegKey::LocalMachine, Scratch + L"\\Missing", keys), 2);
    EXPECT_TRUE(keys.empty());
    TestRegistry::CreateLink(Scratch + L"\\Link", L"Software\\TandrelTestNowhere");
    EXPECT_EQ(ReadScratchTree(keys), 0);
    const std::wstring path = keys.empty() ? L"" : keys[0].path;
    const std::wstring target = L"\\Registry\\Machine\\Software\\TandrelTestNowhere";
    EXPECT_EQ(keys, (std::vector<RegKeyData>{{path, {}, L""}, {path + L"\\Link", {}, target}}));
    // The fixture deletes by name, which follows a link: the link is removed here as itself.
    RegKey scratch = Open();
    EXPECT_TRUE(DeleteRegKeyTree(scratch, L"Link"));
    CloseRegKey(scratch);
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
