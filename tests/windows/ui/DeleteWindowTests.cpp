// Delete through the real window: the question, the answer, and a registry
// that afterwards lacks exactly the trees the log names.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

TEST_F(DeleteWindow, AnsweringYesRemovesExactlyTheTreesItReportsAndEachWayBackRestoresThem)
{
    std::set<std::wstring> whole[2] = {ToSet(UiAutomation::ExportMachineKeys(false, true)),
                                       ToSet(UiAutomation::ExportMachineKeys(true, true))};
    std::set<std::wstring> before64;
    std::set<std::wstring> before32;
    for (bool view32 : {false, true}) {
        for (const auto& line : whole[view32]) {
            if (line.find(L'\t') == std::wstring::npos)
                (view32 ? before32 : before64).insert(line);
        }
    }
    DeleteAnswering(IDYES);
    std::wstring log = tandrel.LogText();
    std::string backup = UiAutomation::TakeBackupLine(log);
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(log, loaded + UiAutomation::FixtureText("suite-deep-delete.txt"));

    // The backups folder lets nobody in but administrators and the system.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPSTR access = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA(backup.substr(0, backup.rfind('\\')).c_str(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &access, nullptr));
    for (const char* others : {";WD)", ";BU)", ";AU)", ";IU)"})
        EXPECT_EQ(std::strstr(access, others), nullptr) << access;
    LocalFree(access);
    LocalFree(descriptor);

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

    // Tandrel's restore, the 32-bit reg import and the 64-bit registry editor
    // (a double-click) each bring back every key and value, in both views.
    const std::string tandrelExe = "\"" + UiAutomation::OwnFolder() + "Tandrel.exe\"";
    const std::string again = UiAutomation::OwnFolder() + "delete-again.reg";
    const std::string routes[] = {tandrelExe + " /restore \"" + backup + "\"", "reg.exe import \"" + again + "\"",
                                  "C:\\windows\\regedit.exe /s \"" + again + "\""};
    for (const std::string& route : routes) {
        SCOPED_TRACE(route);
        if (&route != &routes[0]) {
            DeleteFileA(again.c_str());  // a backup never replaces a file
            ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /delete /yes /backup \"" + again + "\""), 0);
        }
        EXPECT_EQ(UiAutomation::RunAndWait(route), 0);
        for (bool view32 : {false, true})
            EXPECT_EQ(ToSet(UiAutomation::ExportMachineKeys(view32, true)), whole[view32]);
    }
    DeleteFileA(backup.c_str());
    DeleteFileA(again.c_str());
}

// Shapes that a damaged registry can hold: a key whose deletion is refused, a
// registry link inside a class key to a tree outside every named one, a
// dangling link, a subkey whose name the ANSI code page cannot spell, and a
// value whose name holds a line break, which a backup file cannot hold.
class DeleteWindowWithHostileKeys : public DeleteWindow {
protected:
    static std::string ClassKey(int n)
    {
        char path[80];
        std::snprintf(path, sizeof path, "Software\\Classes\\CLSID\\{D3E1000%d-5B2A-4C7D-8E9F-00000000000%d}", n, n);
        return path;
    }
    const std::string refused = ClassKey(0) + "\\InprocServer32";
    const std::string danglingLink = ClassKey(1) + "\\Link";
    const std::string liveLink = ClassKey(2) + "\\Link";
    // Shared by both views: a ProgID's place.
    const std::string outLink = "Software\\Classes\\TandrelLinkOut";
    const std::wstring oddName = L"Odd\x4E2D\x6587";
    const std::wstring brokenName = L"Threading\nModel";
    // Named from the root, so that both bitnesses point at the same key.
    static constexpr const char* Target = "Software\\TandrelLinkTarget";

    void SetUp() override
    {
        UiAutomation::SetVestrelAppPath(0, "");
        RemoveHostileKeys();
        UiAutomation::RemoveFixtureKeys(Fixture);
        ASSERT_TRUE(UiAutomation::ImportFixture(Fixture));
        // Wine lets the owner delete whatever the list says, so there the key goes to SYSTEM. Windows denies
        // the owner too, and lets an administrator give a key away only with a privilege held back by default.
        ASSERT_TRUE(SetSecurity(refused, UiAutomation::UnderWine() ? "O:SYD:P(D;;SD;;;WD)(A;;KA;;;WD)"
                                                                   : "D:P(D;;SD;;;WD)(A;;KA;;;WD)"));
        ASSERT_TRUE(CreateTarget());
        ASSERT_TRUE(CreateLink(danglingLink, L"\\Registry\\Machine\\Software\\TandrelNowhere"));
        ASSERT_TRUE(CreateLink(liveLink, L"\\Registry\\Machine\\Software\\TandrelLinkTarget"));
        std::string oddParent = ClassKey(3);
        std::wstring odd(oddParent.begin(), oddParent.end());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (odd + L"\\" + oddName).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
        std::string broken = ClassKey(4) + "\\InprocServer32";
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, std::wstring(broken.begin(), broken.end()).c_str(),
                                  brokenName.c_str(), REG_SZ, L"Both", 10),
                  ERROR_SUCCESS);
        ASSERT_TRUE(tandrel.Start());
        ASSERT_TRUE(tandrel.ClickAndWait(102));
        loaded = tandrel.LogText();
    }
    void TearDown() override
    {
        tandrel.Kill();
        RemoveHostileKeys();
        UiAutomation::RemoveFixtureKeys(Fixture);
    }

    static bool SetSecurity(const std::string& path, const char* descriptor)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | WRITE_OWNER, &key) != ERROR_SUCCESS)
            return false;
        PSECURITY_DESCRIPTOR security = nullptr;
        SECURITY_INFORMATION parts = DACL_SECURITY_INFORMATION;
        if (std::strncmp(descriptor, "O:", 2) == 0)
            parts |= OWNER_SECURITY_INFORMATION;
        bool set = ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1, &security,
                                                                        nullptr) &&
                   RegSetKeySecurity(key, parts, security) == ERROR_SUCCESS;
        LocalFree(security);
        RegCloseKey(key);
        return set;
    }

    // The target holds a value and a subkey of its own, in the 64-bit view,
    // where the root-relative name of the links finds it.
    static bool CreateTarget()
    {
        HKEY target = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, Target, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                            &target, nullptr) != ERROR_SUCCESS)
            return false;
        HKEY sub = nullptr;
        bool made = RegCreateKeyExA(target, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) ==
                        ERROR_SUCCESS &&
                    RegSetValueExA(target, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4) == ERROR_SUCCESS;
        RegCloseKey(sub);
        RegCloseKey(target);
        return made;
    }

    static bool TargetIsWhole()
    {
        HKEY target = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Target, 0, KEY_READ | KEY_WOW64_64KEY, &target) != ERROR_SUCCESS)
            return false;
        char value[8] = {};
        DWORD size = sizeof value;
        DWORD subkeys = 0;
        bool whole = RegQueryValueExA(target, "Kept", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                         ERROR_SUCCESS &&
                     std::string(value) == "yes" &&
                     RegQueryInfoKeyA(target, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                     subkeys == 1;
        RegCloseKey(target);
        return whole;
    }

    static bool CreateLink(const std::string& path, const std::wstring& target)
    {
        HKEY link = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
            return false;
        LONG code = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                   reinterpret_cast<const BYTE*>(target.c_str()),
                                   static_cast<DWORD>(target.size() * sizeof(wchar_t)));
        RegCloseKey(link);
        return code == ERROR_SUCCESS;
    }

    void RemoveHostileKeys() const
    {
        SetSecurity(refused, "O:BAD:P(A;;KA;;;WD)");
        // Deleting a link by name would delete its target: open the link itself.
        for (const std::string& path : {danglingLink, liveLink, outLink}) {
            HKEY link = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) ==
                ERROR_SUCCESS) {
                using NtDeleteKeyProc = LONG(WINAPI*)(HANDLE);
                auto deleteKey = reinterpret_cast<NtDeleteKeyProc>(
                    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
                if (deleteKey)
                    deleteKey(link);
                RegCloseKey(link);
            }
        }
        std::string oddParent = ClassKey(3);
        std::wstring odd(oddParent.begin(), oddParent.end());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (odd + L"\\" + oddName).c_str());
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(Target) + "\\Sub").c_str(), KEY_WOW64_64KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, Target, KEY_WOW64_64KEY, 0);
    }
};

TEST_F(DeleteWindowWithHostileKeys, OnlyTheNamedTreesGoAndWhatCannotGoIsReported)
{
    auto before64 = ToSet(UiAutomation::ExportMachineKeys(false));
    auto before32 = ToSet(UiAutomation::ExportMachineKeys(true));
    DeleteAnswering(IDYES);

    // Both links go as keys of their own, and the odd name, which the wide
    // calls read and delete exactly; the refused key keeps its class key, and
    // the class with the broken value name stays whole.
    std::wstring expected = UiAutomation::FixtureText("suite-deep-delete.txt");
    std::vector<std::wstring> stuck = {L"{d3e10000-5b2a-4c7d-8e9f-000000000000}\\inprocserver32"};
    const std::wstring refusedClsid = L"{D3E10000-5B2A-4C7D-8E9F-000000000000}";
    const std::wstring brokenClsid = L"{D3E10004-5B2A-4C7D-8E9F-000000000004}";
    std::wstring deleted = L"\tDeleted " + refusedClsid;
    expected.replace(expected.find(deleted), deleted.size(), L"\tERROR: Deleting " + refusedClsid);
    std::wstring log = tandrel.LogText();
    // The key is named as the kernel names it, below whichever view's class folder.
    const std::wstring left = L"\tERROR: Deleting " + brokenClsid + L": left whole, as the value Threading Model of ";
    const std::wstring why = L"\\InprocServer32 has a line break in its name, which the backup cannot hold.";
    std::size_t at = log.find(left);
    ASSERT_NE(at, std::wstring::npos) << "the class with the broken value name is not named as left";
    std::wstring line = log.substr(at, log.find(L"\r\n", at) - at);
    EXPECT_EQ(line.substr(line.size() - why.size()), why);
    EXPECT_NE(line.find(L"\\CLSID\\" + brokenClsid + why), std::wstring::npos);
    deleted = L"\tDeleted " + brokenClsid;
    expected.replace(expected.find(deleted), deleted.size(), line);
    expected += L"\r\n*** ERROR IN DELETING - Scroll back to see the Errors.\r\n";
    std::string backup = UiAutomation::TakeBackupLine(log);
    ASSERT_FALSE(backup.empty());
    EXPECT_EQ(log, loaded + expected);
    EXPECT_TRUE(TargetIsWhole());
    wchar_t threading[8] = {};
    DWORD size = sizeof threading;
    std::string broken = ClassKey(4) + "\\InprocServer32";
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, std::wstring(broken.begin(), broken.end()).c_str(), brokenName.c_str(),
                           RRF_RT_REG_SZ, nullptr, threading, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(threading), L"Both");
    // The backup holds what stays as well, as it was read: the refused key,
    // the odd name, and each link as a note.
    std::wstring held = UiAutomation::Utf16FileText(backup);
    DeleteFileA(backup.c_str());
    for (const std::wstring& part : {std::wstring(L"\\{D3E10000-5B2A-4C7D-8E9F-000000000000}\\InprocServer32]\r\n"),
                                     L"\\" + oddName + L"]\r\n", std::wstring(L"\r\n; Registry link ")})
        EXPECT_NE(held.find(part), std::wstring::npos) << std::string(part.begin(), part.end());

    for (auto& key : stuck)
        CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    auto keptAsStuck = [&stuck](const std::wstring& key) {
        const std::wstring whole = L"\\{d3e10004-5b2a-4c7d-8e9f-000000000004}";
        std::size_t in = key.find(whole);
        if (in != std::wstring::npos && (in + whole.size() == key.size() || key[in + whole.size()] == L'\\'))
            return true;
        for (const auto& path : stuck) {
            std::wstring classKey = path.substr(0, path.find(L'\\'));
            for (const std::wstring& end : {L"\\" + classKey, L"\\" + path}) {
                if (key.size() >= end.size() && key.compare(key.size() - end.size(), end.size(), end) == 0)
                    return true;
            }
        }
        return false;
    };
    auto setting = UiAutomation::TandrelSetting();
    for (bool view32 : {false, true}) {
        SCOPED_TRACE(view32 ? "32-bit view" : "64-bit view");
        auto roots = RegistryViews::DeletedRoots(log.substr(loaded.size()), setting, view32);
        // The two class keys that stay are named as errors, not as deleted.
        for (const wchar_t* clsid : {L"{d3e10000-5b2a-4c7d-8e9f-000000000000}", L"{d3e10004-5b2a-4c7d-8e9f-000000000004}"})
            for (const auto& folder : RegistryViews::ClassKeyFolders(setting, view32))
                roots.push_back(folder + clsid);
        const auto& before = view32 ? before32 : before64;
        auto after = ToSet(UiAutomation::ExportMachineKeys(view32));
        for (const auto& key : before) {
            bool gone = after.count(key) == 0;
            EXPECT_EQ(gone, RegistryViews::Under(key, roots) && !keptAsStuck(key))
                << "key: " << std::string(key.begin(), key.end());
        }
        for (const auto& key : after)
            EXPECT_EQ(before.count(key), 1u) << "new key: " << std::string(key.begin(), key.end());
    }

    // A restore writes nothing through a link that leads out of the classes,
    // nor a key whose name a NUL would cut short to the classes key itself.
    ASSERT_TRUE(CreateLink(outLink, L"\\Registry\\Machine\\Software\\TandrelLinkTarget"));
    auto classesDefault = [] {
        wchar_t value[64] = {};
        DWORD size = sizeof value;
        LONG code = RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes", nullptr, RRF_RT_ANY, nullptr, value, &size);
        return std::to_wstring(code) + L":" + value;
    };
    const std::wstring defaultBefore = classesDefault();
    const std::string file = UiAutomation::OwnFolder() + "steered.reg";
    // Nor another product's class: a restore writes the suite's keys only, and a suite ProgID that names a class
    // another product has registered here does not make that class the suite's.
    const std::wstring foreign = L"CLSID\\{0F0E0D0C-0000-4000-8000-00000000F00D}";
    const std::wstring other = L"Software\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}";
    const wchar_t otherServer[] = L"C:\\windows\\system32\\other.dll";
    // Registered where a file's names land: the 64-bit view, as a backup names its keys.
    auto setDefault = [](const std::wstring& path, const wchar_t* value) {
        HKEY made = nullptr;
        LONG code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                                    nullptr, &made, nullptr);
        if (code == ERROR_SUCCESS) {
            code = RegSetValueExW(made, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
            RegCloseKey(made);
        }
        return code;
    };
    ASSERT_EQ(setDefault(other + L"\\ProgID", L"Other.Thing"), 0);
    ASSERT_EQ(setDefault(other + L"\\InprocServer32", otherServer), 0);
    auto key = [](const std::wstring& name, const std::wstring& value) {
        return L"[HKEY_LOCAL_MACHINE\\Software\\Classes\\" + name + L"]\r\n@=\"" + value + L"\"\r\n\r\n";
    };
    const std::pair<std::wstring, const char*> bodies[] = {
        {key(L"TandrelLinkOut\\Planted", L"planted"), "line 3: "},
        {key(std::wstring(L"\0x", 2), L"planted"), "line 3: "},
        {key(foreign + L"\\InprocServer32", L"planted"), "line 3: "},
        {key(L"Wrenna.clsIFace\\CLSID", L"{11111111-2222-3333-4444-555555555555}") +
             key(other.substr(17) + L"\\InprocServer32", L"C:\\\\Users\\\\Public\\\\evil.dll"),
         "line 6: "},
    };
    for (const auto& [body, line] : bodies) {
        std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n" + body;
        HANDLE out =
            CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(out, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr));
        CloseHandle(out);
        std::string output;
        EXPECT_EQ(UiAutomation::RunAndWait("\"" + UiAutomation::OwnFolder() + "Tandrel.exe\" /restore \"" + file + "\"",
                                           60000, nullptr, &output),
                  1);
        EXPECT_NE(output.find(line), std::string::npos) << output;
        EXPECT_NE(output.find("Nothing was written."), std::string::npos) << output;
    }
    wchar_t server[64] = {};
    DWORD serverSize = sizeof server;
    constexpr DWORD View64 = 0x00010000;  // RRF_SUBKEY_WOW6464KEY, which the headers keep for newer targets
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (other + L"\\InprocServer32").c_str(), nullptr, RRF_RT_REG_SZ | View64,
                           nullptr, server, &serverSize),
              0);
    EXPECT_STREQ(server, otherServer);
    for (const wchar_t* sub : {L"\\InprocServer32", L"\\ProgID", L""})
        EXPECT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (other + sub).c_str(), KEY_WOW64_64KEY, 0), 0);
    DeleteFileA(file.c_str());
    HKEY planted = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + foreign).c_str(), 0, KEY_READ, &planted),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(TargetIsWhole());
    EXPECT_EQ(classesDefault(), defaultBefore);
}

}  // namespace
