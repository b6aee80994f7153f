// Delete through the real window: the question, the answer, and a registry
// that afterwards lacks exactly the trees the log names.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <set>

#include "tests/windows/ui/UiAutomation.h"

namespace {

using UiAutomation::TandrelProcess;

const char Fixture[] = "suite-deep.reg";

std::set<std::wstring> ToSet(const std::vector<std::wstring>& keys)
{
    return {keys.begin(), keys.end()};
}

class DeleteWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiAutomation::SetVestrelAppPath(0, "");
        UiAutomation::RemoveFixtureKeys(Fixture);
        ASSERT_TRUE(UiAutomation::ImportFixture(Fixture));
        ASSERT_TRUE(tandrel.Start());
        ASSERT_TRUE(tandrel.ClickAndWait(102));
        loaded = tandrel.LogText();
    }
    void TearDown() override
    {
        tandrel.Kill();
        UiAutomation::RemoveFixtureKeys(Fixture);
    }

    // Clicks Delete, checks the question and gives `answer`.
    void DeleteAnswering(int answer)
    {
        tandrel.Click(103);
        auto box = tandrel.WaitMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, L"Tandrel");
        EXPECT_EQ(box->prompt, L"Are you sure you want to delete registry entries for Vestrel Classes");
        EXPECT_EQ(box->buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
        EXPECT_TRUE(box->hasQuestionIcon);
        // Yes is the default button.
        LONG yesStyle = GetWindowLongA(GetDlgItem(box->window, IDYES), GWL_STYLE);
        EXPECT_EQ(yesStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        TandrelProcess::Answer(box->window, answer);
        ASSERT_TRUE(UiAutomation::WaitGone(box->window));
        ASSERT_TRUE(tandrel.WaitIdle());
    }

    TandrelProcess tandrel;
    std::wstring loaded;
};

TEST_F(DeleteWindow, AnsweringNoLeavesLogAndRegistryAsTheyWere)
{
    auto before64 = UiAutomation::ExportMachineKeys(false);
    DeleteAnswering(IDNO);
    EXPECT_EQ(tandrel.LogText(), loaded);
    EXPECT_EQ(UiAutomation::ExportMachineKeys(false), before64);
}

TEST_F(DeleteWindow, AnsweringYesRemovesExactlyTheTreesItReports)
{
    auto before64 = ToSet(UiAutomation::ExportMachineKeys(false));
    auto before32 = ToSet(UiAutomation::ExportMachineKeys(true));
    DeleteAnswering(IDYES);
    std::wstring log = tandrel.LogText();
    EXPECT_EQ(log, loaded + UiAutomation::FixtureText("suite-deep-delete.txt"));

    auto setting = UiAutomation::TandrelSetting();
    for (bool view32 : {false, true}) {
        SCOPED_TRACE(view32 ? "32-bit view" : "64-bit view");
        auto roots = RegistryViews::DeletedRoots(log.substr(loaded.size()), setting, view32);
        auto classFolders = RegistryViews::ClassKeyFolders(setting, view32);
        const auto& before = view32 ? before32 : before64;
        auto after = ToSet(UiAutomation::ExportMachineKeys(view32));
        std::size_t classKeysRemoved = 0;
        for (const auto& key : before) {
            bool gone = after.count(key) == 0;
            EXPECT_EQ(gone, RegistryViews::Under(key, roots)) << "key: " << std::string(key.begin(), key.end());
            if (gone && !classFolders.empty() && key.rfind(classFolders.front(), 0) == 0)
                ++classKeysRemoved;
        }
        for (const auto& key : after)
            EXPECT_EQ(before.count(key), 1u) << "new key: " << std::string(key.begin(), key.end());
        // 15 class keys, each with 4 subkeys and a chain 6 levels deep, in
        // the view that shows the program's own class keys; the other view's
        // class keys stay.
        EXPECT_EQ(classKeysRemoved, classFolders.empty() ? 0u : 15u * 11u);
        if (!view32) {
            EXPECT_EQ(after.count(L"software\\classes\\vestrel.other"), 1u);
            EXPECT_EQ(after.count(L"software\\classes\\typelib\\{e4f2ffff-6c3b-4d8e-9fa0-00000000ffff}\\1.0"), 1u);
        }
    }
}

// Keys that Wine can be made to keep: one whose deletion is refused, and a
// dangling registry link that can be neither opened nor deleted.
class DeleteWindowWithStuckKeys : public DeleteWindow {
protected:
    const std::string refused = "Software\\Classes\\CLSID\\{D3E10000-5B2A-4C7D-8E9F-000000000000}\\InprocServer32";
    const std::string linkParent = "Software\\Classes\\CLSID\\{D3E10001-5B2A-4C7D-8E9F-000000000001}";

    void SetUp() override
    {
        UiAutomation::SetVestrelAppPath(0, "");
        RemoveStuckKeys();
        UiAutomation::RemoveFixtureKeys(Fixture);
        ASSERT_TRUE(UiAutomation::ImportFixture(Fixture));
        ASSERT_TRUE(SetSecurity(refused, "O:SYD:P(D;;SD;;;WD)(A;;KA;;;WD)"));
        ASSERT_TRUE(CreateDanglingLink());
        ASSERT_TRUE(tandrel.Start());
        ASSERT_TRUE(tandrel.ClickAndWait(102));
        loaded = tandrel.LogText();
    }
    void TearDown() override
    {
        tandrel.Kill();
        RemoveStuckKeys();
        UiAutomation::RemoveFixtureKeys(Fixture);
    }

    static bool SetSecurity(const std::string& path, const char* descriptor)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | WRITE_OWNER, &key) != ERROR_SUCCESS)
            return false;
        PSECURITY_DESCRIPTOR security = nullptr;
        bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1, &security,
                                                                        nullptr) &&
                   RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security) ==
                       ERROR_SUCCESS;
        LocalFree(security);
        RegCloseKey(key);
        return set;
    }

    bool CreateDanglingLink() const
    {
        HKEY target = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TandrelLinkTarget", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &target, nullptr);
        RegCloseKey(target);
        HKEY link = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (linkParent + "\\Link").c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
            return false;
        const wchar_t targetName[] = L"\\Registry\\Machine\\Software\\TandrelLinkTarget";
        LONG code = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(targetName),
                                   sizeof targetName - sizeof(wchar_t));
        RegCloseKey(link);
        return code == ERROR_SUCCESS && RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\TandrelLinkTarget") == ERROR_SUCCESS;
    }

    void RemoveStuckKeys() const
    {
        SetSecurity(refused, "O:BAD:P(A;;KA;;;WD)");
        // Deleting a link by name would delete its target: open the link itself.
        HKEY link = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (linkParent + "\\Link").c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) ==
            ERROR_SUCCESS) {
            using NtDeleteKeyProc = LONG(WINAPI*)(HANDLE);
            auto deleteKey = reinterpret_cast<NtDeleteKeyProc>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
            if (deleteKey)
                deleteKey(link);
            RegCloseKey(link);
        }
    }

    static bool KeyExists(const std::string& path)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    static DWORD SubkeyCount(const std::string& path)
    {
        HKEY key = nullptr;
        DWORD count = 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
        }
        return count;
    }
};

TEST_F(DeleteWindowWithStuckKeys, KeysThatStayAreReportedAndEverythingElseGoes)
{
    DeleteAnswering(IDYES);
    std::wstring expected = UiAutomation::FixtureText("suite-deep-delete.txt");
    for (const wchar_t* clsid : {L"{D3E10000-5B2A-4C7D-8E9F-000000000000}", L"{D3E10001-5B2A-4C7D-8E9F-000000000001}"}) {
        std::wstring deleted = std::wstring(L"\tDeleted ") + clsid;
        expected.replace(expected.find(deleted), deleted.size(), std::wstring(L"\tERROR: Deleting ") + clsid);
    }
    expected += L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.\r\n";
    EXPECT_EQ(tandrel.LogText(), loaded + expected);

    // Each class key keeps only the subkey that could not go.
    const std::string firstClass = "Software\\Classes\\CLSID\\{D3E10000-5B2A-4C7D-8E9F-000000000000}";
    EXPECT_TRUE(KeyExists(refused));
    EXPECT_EQ(SubkeyCount(firstClass), 1u);
    EXPECT_FALSE(KeyExists(firstClass + "\\ProgID"));
    EXPECT_EQ(SubkeyCount(linkParent), 1u);
    EXPECT_FALSE(KeyExists(linkParent + "\\Implemented Categories"));
    EXPECT_FALSE(KeyExists("Software\\Classes\\Daskel.clsDaskel"));
}

}  // namespace
