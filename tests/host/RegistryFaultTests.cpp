// What only the in-memory registry can show: the calls made, the handles left
// open, and failures that Wine cannot be made to produce.
#include <gtest/gtest.h>

#include "helpers/FuncLib.h"
#include "registry/RegFuncs.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"

namespace {

using Call = FakeRegistry::Call;

const std::wstring Key = L"Software\\Test";
const std::wstring AppPathsKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vestrel.exe";

class RegistryFaults : public ::testing::Test {
protected:
    FakeRegistry& registry = FakeRegistry::Instance();
    FakeSystem& system = FakeSystem::Instance();

    void SetUp() override
    {
        registry.Reset();
        system.Reset();
        registry.CreateKey(Key);
    }

    RegKey OpenTest()
    {
        RegKey key = RegKey::None;
        EXPECT_TRUE(OpenRegKey(RegKey::LocalMachine, Key, key));
        return key;
    }

    void ExpectEveryHandleClosedOnce()
    {
        EXPECT_EQ(registry.OpenHandleCount(), 0);
        EXPECT_EQ(registry.StrayCloseCount(), 0);
    }
};

TEST_F(RegistryFaults, ARefusedTypeIsDecidedByTheSizeQueryAlone)
{
    registry.SetValue(Key, L"Count", RegType::Dword, std::string("\1\0\0\0", 4));
    RegKey key = OpenTest();
    std::wstring value = L"kept";
    EXPECT_FALSE(GetRegString(key, L"Count", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(registry.CallCount(Call::QuerySize), 1);
    EXPECT_EQ(registry.CallCount(Call::QueryData), 0);
    CloseRegKey(key);
    ExpectEveryHandleClosedOnce();
}

TEST_F(RegistryFaults, AValueThatGrowsBetweenTheTwoQueriesIsNotRead)
{
    registry.SetString(Key, L"", L"short");
    registry.AfterSizeQuery([this](const std::wstring&, const std::wstring&) {
        registry.SetString(Key, L"", L"a much longer text than before");
    });
    RegKey key = OpenTest();
    std::wstring value = L"kept";
    EXPECT_FALSE(GetRegString(key, L"", value));
    EXPECT_EQ(value, L"kept");
    CloseRegKey(key);
}

TEST_F(RegistryFaults, AFailedDataQueryLeavesTheValueUntouched)
{
    registry.SetString(Key, L"", L"text");
    registry.Fail(Call::QueryData, Key, RegError::AccessDenied);
    RegKey key = OpenTest();
    std::wstring value = L"kept";
    EXPECT_FALSE(GetRegString(key, L"", value));
    EXPECT_EQ(value, L"kept");
    CloseRegKey(key);
}

TEST_F(RegistryFaults, PlainTextIsNeverExpanded)
{
    registry.SetString(Key, L"", L"%PATH%");
    RegKey key = OpenTest();
    std::wstring value;
    EXPECT_TRUE(GetRegString(key, L"", value));
    EXPECT_EQ(system.expansionCalls, 0);
    CloseRegKey(key);
}

TEST_F(RegistryFaults, AnEnumerationErrorIsPassedOnWithABlankName)
{
    registry.CreateKey(Key + L"\\A");
    registry.CreateKey(Key + L"\\B");
    registry.Fail(Call::Enum, Key, RegError::AccessDenied, 1, 1);
    RegKey key = OpenTest();
    std::wstring name;
    EXPECT_EQ(EnumRegSubKey(key, 0, name), 0);
    EXPECT_EQ(name, L"A");
    EXPECT_EQ(EnumRegSubKey(key, 1, name), RegError::AccessDenied);
    EXPECT_TRUE(IsBlank(name));
    EXPECT_EQ(EnumRegSubKey(key, 1, name), 0);
    EXPECT_EQ(name, L"B");
    CloseRegKey(key);
}

TEST_F(RegistryFaults, ARefusedOpenLeavesTheHandleAtNone)
{
    registry.Fail(Call::Open, Key, RegError::AccessDenied);
    RegKey key = RegKey::None;
    EXPECT_FALSE(OpenRegKey(RegKey::LocalMachine, Key, key));
    EXPECT_EQ(key, RegKey::None);
    EXPECT_EQ(registry.OpenedCount(), 0);
}

TEST_F(RegistryFaults, ClosingNoneTouchesNoKey)
{
    EXPECT_FALSE(CloseRegKey(RegKey::None));
    EXPECT_EQ(registry.NullCloseCount(), 1);
    EXPECT_EQ(registry.StrayCloseCount(), 0);
}

TEST_F(RegistryFaults, ARefusedDeletionKeepsTheKey)
{
    registry.CreateKey(Key + L"\\Locked");
    registry.Fail(Call::Delete, Key + L"\\Locked", RegError::AccessDenied, 1);
    RegKey key = OpenTest();
    EXPECT_FALSE(DeleteRegKey(key, L"Locked"));
    EXPECT_TRUE(registry.KeyExists(Key + L"\\Locked"));
    EXPECT_TRUE(DeleteRegKey(key, L"Locked"));
    EXPECT_FALSE(registry.KeyExists(Key + L"\\Locked"));
    CloseRegKey(key);
}

TEST_F(RegistryFaults, AppPathOfClosesItsKeyWhateverTheValue)
{
    registry.SetString(AppPathsKey, L"", L"C:\\Suite\\Vestrel.exe");
    EXPECT_EQ(AppPathOf(L"Vestrel.exe"), L"C:\\Suite\\");
    registry.SetValue(AppPathsKey, L"", RegType::Binary, "x");
    EXPECT_EQ(AppPathOf(L"Vestrel.exe"), L"");
    registry.SetString(AppPathsKey, L"", L"Vestrel.exe");
    EXPECT_EQ(AppPathOf(L"Vestrel.exe"), L"");
    EXPECT_EQ(registry.OpenedCount(), 3);
    ExpectEveryHandleClosedOnce();
}

TEST_F(RegistryFaults, AppPathOfFindsASeparatorBeyondSixteenBitPositions)
{
    std::wstring directory = L"C:\\" + std::wstring(40000, L'd') + L"\\";
    registry.SetString(AppPathsKey, L"", directory + L"Vestrel.exe");
    EXPECT_EQ(AppPathOf(L"Vestrel.exe"), directory);
}

TEST(SystemLocations, DirectoriesEndInASeparatorOnce)
{
    auto& system = FakeSystem::Instance();
    system.Reset();
    system.windowsDirectory = L"C:\\WINDOWS";
    EXPECT_EQ(WindowsDirectory(), L"C:\\WINDOWS\\");
    system.windowsDirectory = L"C:\\";
    EXPECT_EQ(WindowsDirectory(), L"C:\\");
    system.systemDirectory = L"C:\\WINDOWS\\system32";
    EXPECT_EQ(SystemDirectory(), L"C:\\WINDOWS\\system32\\");
}

TEST(SystemLocations, ADirectoryLongerThanTheFirstBufferComesBackWhole)
{
    auto& system = FakeSystem::Instance();
    system.Reset();
    std::wstring longDirectory = L"D:\\" + std::wstring(200, L'w');
    system.windowsDirectory = longDirectory;
    system.systemDirectory = longDirectory + L"\\system32";
    EXPECT_EQ(WindowsDirectory(), longDirectory + L"\\");
    EXPECT_EQ(SystemDirectory(), longDirectory + L"\\system32\\");
    // Exactly filling the first buffer with the NUL is still the first answer.
    system.windowsDirectory = L"C:\\" + std::wstring(124, L'x');
    EXPECT_EQ(WindowsDirectory(), system.windowsDirectory + L"\\");
}

// Sizes are in bytes of the code page: 120 characters that take two bytes each
// overflow a first buffer of 128 bytes, and 600 overflow one of 1024.
TEST(SystemLocations, OnADoubleByteCodePageLongTextsComeBackWhole)
{
    auto& system = FakeSystem::Instance();
    system.Reset();
    system.doubleByteCodePage = true;
    std::wstring wide(120, L'\x6F22');
    system.systemDirectory = L"C:\\" + wide;
    EXPECT_EQ(SystemDirectory(), L"C:\\" + wide + L"\\");

    auto& registry = FakeRegistry::Instance();
    registry.Reset();
    system.environment[L"SUITE"] = std::wstring(600, L'\x5B57');
    registry.SetValue(L"Software\\Expand", L"", RegType::ExpandSz, "%SUITE%\\x");
    RegKey key = RegKey::None;
    ASSERT_TRUE(OpenRegKey(RegKey::LocalMachine, L"Software\\Expand", key));
    std::wstring value;
    EXPECT_TRUE(GetRegString(key, L"", value));
    EXPECT_EQ(value, std::wstring(600, L'\x5B57') + L"\\x");
    CloseRegKey(key);
}

TEST(SystemLocations, AFailedQueryGivesNothing)
{
    auto& system = FakeSystem::Instance();
    system.Reset();
    system.windowsDirectory.clear();
    system.systemDirectory.clear();
    EXPECT_EQ(WindowsDirectory(), L"");
    EXPECT_EQ(SystemDirectory(), L"");
}

}  // namespace
