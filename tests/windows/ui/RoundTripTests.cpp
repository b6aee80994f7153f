// The whole cycle on the stand-in suite: Create, Load, Delete, Load, with the
// suite installed as an installation would place it.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "platform/Win32Handles.h"
#include "suite/SuiteIds.h"
#include "tests/windows/ui/UiAutomation.h"

namespace {

using UiAutomation::TandrelProcess;

struct SuiteClassInfo {
    const wchar_t* progId;
    const wchar_t* description;
    const wchar_t* file;
    const wchar_t* library;
    GUID clsid;
    GUID libid;
};

const SuiteClassInfo SuiteClasses[] = {
    {L"Glimmet.ctlGlimmet", L"Glimmet Control", L"Glimmet.ocx", L"Glimmet", CLSID_Glimmet_ctlGlimmet, LIBID_Glimmet},
    {L"Daskel.clsDaskel", L"Daskel Engine", L"Daskel.dll", L"Daskel", CLSID_Daskel_clsDaskel, LIBID_Daskel},
    {L"Daskel.clsEntities", L"Daskel Entities", L"Daskel.dll", L"Daskel", CLSID_Daskel_clsEntities, LIBID_Daskel},
    {L"Daskel.clsEntity", L"Daskel Entity", L"Daskel.dll", L"Daskel", CLSID_Daskel_clsEntity, LIBID_Daskel},
    {L"Daskel.clsXFields", L"Daskel Extra Fields", L"Daskel.dll", L"Daskel", CLSID_Daskel_clsXFields, LIBID_Daskel},
    {L"Daskel.clsXField", L"Daskel Extra Field", L"Daskel.dll", L"Daskel", CLSID_Daskel_clsXField, LIBID_Daskel},
    {L"Wrenna.clsIFace", L"Wrenna Interface", L"Wrenna.dll", L"Wrenna", CLSID_Wrenna_clsIFace, LIBID_Wrenna},
    {L"Corvane.clsMail", L"Corvane Mail", L"Corvane.exe", L"Corvane", CLSID_Corvane_clsMail, LIBID_Corvane},
    {L"Sulvary.clsPhone", L"Sulvary Phone", L"Sulvary.exe", L"Sulvary", CLSID_Sulvary_clsPhone, LIBID_Sulvary},
    {L"Brenlow.clsIFace", L"Brenlow Interface", L"Brenlow.exe", L"Brenlow", CLSID_Brenlow_clsIFace, LIBID_Brenlow},
    {L"Ladrisk.clsIFace", L"Ladrisk Interface", L"Ladrisk.exe", L"Ladrisk", CLSID_Ladrisk_clsIFace, LIBID_Ladrisk},
    {L"Omberly.clsOmberly", L"Omberly Application", L"Omberly.exe", L"Omberly", CLSID_Omberly_clsOmberly,
     LIBID_Omberly},
    {L"Vestrel.clsIFace", L"Vestrel Interface", L"Vestrel.exe", L"Vestrel", CLSID_Vestrel_clsIFace, LIBID_Vestrel},
    {L"Vestrel.clsEMailIFace", L"Vestrel E-Mail Interface", L"Vestrel.exe", L"Vestrel", CLSID_Vestrel_clsEMailIFace,
     LIBID_Vestrel},
    {L"Vestrel.clsLinkIFace", L"Vestrel Link Interface", L"Vestrel.exe", L"Vestrel", CLSID_Vestrel_clsLinkIFace,
     LIBID_Vestrel},
};

const wchar_t* const ComponentFiles[] = {L"Glimmet.ocx", L"Daskel.dll",  L"Wrenna.dll",  L"Corvane.exe", L"Sulvary.exe",
                                         L"Brenlow.exe", L"Ladrisk.exe", L"Omberly.exe", L"Vestrel.exe"};

const std::wstring InstallDir = L"C:\\Program Files\\Vestrel\\";
const std::wstring Separator = L"\r\n----------------------------------------\r\n";

std::wstring Text(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

bool IsLibrary(const std::wstring& file)
{
    return file.size() > 4 && file.substr(file.size() - 4) != L".exe";
}

std::wstring SystemDir()
{
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\";
}

std::wstring WindowsDir()
{
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\";
}

using Json = nlohmann::ordered_json;

// The verdict that ends an unattended run's output; null when the last line is no JSON.
Json LastLineJson(const std::string& text)
{
    std::size_t end = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 ? text.size() - 2 : text.size();
    std::size_t start = end < 2 ? std::string::npos : text.rfind("\r\n", end - 2);
    start = start == std::string::npos ? 0 : start + 2;
    return Json::parse(text.substr(start, end - start), nullptr, false);
}

std::wstring Narrow(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

class RoundTrip : public ::testing::Test {
protected:
    std::wstring logFile = Narrow(UiAutomation::OwnFolder()) + L"suite-log.txt";
    std::wstring builtSuite = Narrow(UiAutomation::OwnFolder()) + L"suite\\";

    void SetUp() override
    {
        RemoveSuite();
        CreateDirectoryW(L"C:\\Program Files", nullptr);
        CreateDirectoryW(InstallDir.c_str(), nullptr);
        for (const wchar_t* file : ComponentFiles) {
            std::wstring target = (IsLibrary(file) ? SystemDir() : InstallDir) + file;
            ASSERT_TRUE(CopyFileW((builtSuite + file).c_str(), target.c_str(), FALSE))
                << "copying to " << std::string(target.begin(), target.end()) << ": error " << GetLastError();
        }
        UiAutomation::SetVestrelAppPath(REG_SZ, "C:\\Program Files\\Vestrel\\Vestrel.exe");
        DeleteFileW(logFile.c_str());
        SetEnvironmentVariableW(L"TANDREL_SUITE_LOG", logFile.c_str());
        path.resize(32767);
        path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
    }

    void TearDown() override
    {
        tandrel.Kill();
        RemoveSuite();
        SetEnvironmentVariableW(L"TANDREL_SUITE_LOG", nullptr);
        SetEnvironmentVariableW(L"PATH", path.c_str());
        for (const wchar_t* variable :
             {L"TANDREL_SUITE_FAIL", L"TANDREL_SUITE_HANG", L"TANDREL_SUITE_ASK", L"TANDREL_SUITE_NOLOAD",
              L"TANDREL_SUITE_REFUSE", L"TANDREL_SUITE_CREATE_CRASH", L"TANDREL_SUITE_SILENT", L"TANDREL_SUITE_CREATE_HANG"})
            SetEnvironmentVariableW(variable, nullptr);
    }

    static void RemoveSuite()
    {
        // A stand-in of the last test may still be ending (a library hangs six seconds before it fails): what it
        // has open cannot be replaced, and what it registers would outlive the test. Its files go first, once free.
        auto remove = [](const std::wstring& path) {
            auto gone = [&path] {
                DWORD error = DeleteFileW(path.c_str()) ? ERROR_SUCCESS : GetLastError();
                return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            };
            for (DWORD start = GetTickCount(); !gone() && GetTickCount() - start < 30000;)
                Sleep(100);
        };
        remove(SystemDir() + L"WrennaAid.dll");
        for (const wchar_t* file : ComponentFiles)
            remove((IsLibrary(file) ? SystemDir() : InstallDir) + file);
        for (const auto& c : SuiteClasses) {
            for (const std::wstring& key :
                 {std::wstring(L"Software\\Classes\\") + c.progId, L"Software\\Classes\\CLSID\\" + Text(c.clsid),
                  L"Software\\Classes\\TypeLib\\" + Text(c.libid)}) {
                for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
                    RegDeleteTreeW(root, key.c_str());
                    RegDeleteKeyW(root, key.c_str());
                }
            }
        }
        UiAutomation::SetVestrelAppPath(0, "");
    }

    // The started programs register side by side, after writing their log
    // line: wait until every class's last key is there.
    static bool WaitRegistered(DWORD timeoutMs = 30000)
    {
        auto registered = [](const SuiteClassInfo& c) {
            HKEY key = nullptr;
            std::wstring path = L"Software\\Classes\\CLSID\\" + Text(c.clsid) + L"\\Programmable";
            bool opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
            RegCloseKey(key);
            return opened;
        };
        for (DWORD start = GetTickCount(); !std::all_of(std::begin(SuiteClasses), std::end(SuiteClasses), registered);
             Sleep(50)) {
            if (GetTickCount() - start > timeoutMs)
                return false;
        }
        return true;
    }

    // The lines the started components wrote, sorted: they run side by side.
    std::vector<std::wstring> SuiteLog(std::size_t expected, DWORD timeoutMs = 30000) const
    {
        std::vector<std::wstring> lines;
        DWORD start = GetTickCount();
        do {
            lines.clear();
            std::wstring content = UiAutomation::Utf8FileText(std::string(logFile.begin(), logFile.end()));
            for (std::size_t pos = 0, end; (end = content.find(L"\r\n", pos)) != std::wstring::npos; pos = end + 2)
                lines.push_back(content.substr(pos, end - pos));
        } while (lines.size() < expected && GetTickCount() - start < timeoutMs && (Sleep(100), true));
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    static std::wstring StartedLine(const std::wstring& file, const std::wstring& serverDir)
    {
        if (IsLibrary(file))
            return file + L" DllRegisterServer \"" + serverDir + L"regsvr32\" /s \"" + SystemDir() + file + L"\"";
        return file + L" Register \"" + InstallDir + file + L"\"";
    }

    static std::wstring CreateReport(const std::set<std::wstring>& failed = {})
    {
        std::wstring report = Separator;
        bool anyFailed = false;
        for (const wchar_t* file : ComponentFiles) {
            bool fails = failed.count(file) > 0;
            anyFailed = anyFailed || fails;
            report += std::wstring(L"\r\nCreating registry entry for ") + file + L"'s classes\r\n\t" +
                      (fails ? L"ERROR: Creating classes" : L"Created classes") + L"\r\n";
        }
        return anyFailed ? report + L"\r\n*** ERROR IN CREATING - Scroll back to see the Errors.\r\n" : report;
    }

    static std::wstring LoadReport()
    {
        std::wstring report = Separator;
        for (const auto& c : SuiteClasses) {
            std::wstring server = IsLibrary(c.file) ? L"\tInprocServer32: " + SystemDir() + c.file
                                                    : L"\tLocalServer32: " + InstallDir + c.file;
            report += std::wstring(L"\r\nLoading Class Info: ") + c.progId + L"\r\nName: " + c.description +
                      L"\r\nCLSID: " + Text(c.clsid) + L"\r\n" + server + L"\r\n\tProgID: " + c.progId +
                      L"\r\n\tProgrammable: \r\n\tTypeLib: " + Text(c.libid) + L"\r\n\tVERSION: 1.0\r\n\t\t1.0: " +
                      c.library + L" 1.0 Type Library\r\n";
        }
        return report;
    }

    static std::wstring DeleteReport(const std::string& backup = "")
    {
        std::wstring report = Separator;
        if (!backup.empty())
            report += L"\r\nBackup: " + Narrow(backup) + L"\r\n";
        std::wstring lastLibid;
        for (const auto& c : SuiteClasses) {
            std::wstring libid = Text(c.libid);
            report += std::wstring(L"\r\nDeleting TypeLib Entries for the Class: ") + c.progId + L"\r\n" +
                      (libid == lastLibid ? L"\tAlready deleted." : L"\tDeleted " + libid) + L"\r\n" +
                      L"Deleting CLSID Entries for the Class: " + c.progId + L"\r\n\tDeleted " + Text(c.clsid) +
                      L"\r\nDeleting Class: " + c.progId + L"\r\n\tDeleted " + c.progId + L"\r\n";
            lastLibid = libid;
        }
        return report;
    }

    static std::wstring NothingRegisteredReport()
    {
        std::wstring report = Separator;
        for (const auto& c : SuiteClasses)
            report += std::wstring(L"\r\nLoading Class Info: ") + c.progId +
                      L"\r\nERROR: Could not locate the key in the Registry.\r\nSoftware\\CLASSES\\" + c.progId +
                      L"\r\n";
        return report + L"\r\n*** ERROR IN LOADING - Scroll back to see the Errors.\r\n";
    }

    TandrelProcess tandrel;
    std::wstring path;
};

TEST_F(RoundTrip, CreateLoadDeleteLoad)
{
    ASSERT_TRUE(tandrel.Start());
    std::wstring log = L"Vestrel Path: " + InstallDir + L"\r\n";
    ASSERT_EQ(tandrel.LogText(), log);

    // Create comes first: before any Load it works on the built-in table.
    ASSERT_TRUE(tandrel.ClickAndWait(104));
    log += CreateReport();
    EXPECT_EQ(tandrel.LogText(), log);
    std::vector<std::wstring> expectedStarts;
    for (const wchar_t* file : ComponentFiles)
        expectedStarts.push_back(StartedLine(file, SystemDir()));
    std::sort(expectedStarts.begin(), expectedStarts.end());
    EXPECT_EQ(SuiteLog(9), expectedStarts);
    ASSERT_TRUE(WaitRegistered());

    ASSERT_TRUE(tandrel.ClickAndWait(102));
    log += LoadReport();
    EXPECT_EQ(tandrel.LogText(), log);

    std::vector<std::wstring> before[2] = {UiAutomation::ExportMachineKeys(false),
                                           UiAutomation::ExportMachineKeys(true)};
    tandrel.Click(103);
    auto box = tandrel.WaitMessageBox();
    ASSERT_TRUE(box.has_value());
    TandrelProcess::Answer(box->window, IDYES);
    ASSERT_TRUE(UiAutomation::WaitGone(box->window));
    ASSERT_TRUE(tandrel.WaitIdle());
    std::wstring deleteReport = DeleteReport();
    log += deleteReport;
    std::wstring shown = tandrel.LogText();
    std::string backup = UiAutomation::TakeBackupLine(shown);
    EXPECT_FALSE(backup.empty());
    DeleteFileA(backup.c_str());
    EXPECT_EQ(shown, log);
    log = tandrel.LogText();

    for (bool view32 : {false, true}) {
        SCOPED_TRACE(view32 ? "32-bit view" : "64-bit view");
        auto roots = RegistryViews::DeletedRoots(deleteReport, UiAutomation::TandrelSetting(), view32);
        auto exported = UiAutomation::ExportMachineKeys(view32);
        std::set<std::wstring> after(exported.begin(), exported.end());
        for (const auto& key : before[view32])
            EXPECT_EQ(after.count(key) == 0, RegistryViews::Under(key, roots))
                << "key: " << std::string(key.begin(), key.end());
    }

    ASSERT_TRUE(tandrel.ClickAndWait(102));
    log += NothingRegisteredReport();
    EXPECT_EQ(tandrel.LogText(), log);
}

// Create through the window on a damaged installation, one damage a row:
// each file is judged by its own start, and the window answers what a server
// asks it while it registers.
TEST_F(RoundTrip, CreateJudgesEachFileByItsOwnStart)
{
    const std::wstring server = SystemDir() + L"regsvr32.exe";
    const std::wstring aside = server + L".aside";
    const std::wstring windowsCopy = WindowsDir() + L"regsvr32.exe";
    struct Case {
        const char* name;
        std::function<bool()> damage;
        std::function<void()> repair;
        std::wstring failed;  // the one file reported as failed
        bool failedStarts;    // whether anything is started for it
        std::wstring serverDir;
        std::wstring extraLine = L"";  // one more line the components write
        const char* wineOnly = nullptr;  // why the damage cannot be done on Windows
    };
    auto setVariable = [](const wchar_t* name, const wchar_t* value) {
        return [=] { return SetEnvironmentVariableW(name, value) != FALSE; };
    };
    const Case cases[] = {
        {"a missing program", [] { return DeleteFileW((InstallDir + L"Corvane.exe").c_str()) != FALSE; }, [] {},
         L"Corvane.exe", false, SystemDir()},
        {"a missing library", [] { return DeleteFileW((SystemDir() + L"Wrenna.dll").c_str()) != FALSE; }, [] {},
         L"Wrenna.dll", false, SystemDir()},
        // The server ran but could not register the library (its exit code 5).
        {"a library the server fails to register", setVariable(L"TANDREL_SUITE_FAIL", L"Daskel.dll"), [] {},
         L"Daskel.dll", true, SystemDir()},
        {"the server only in the Windows directory",
         [&] {
             return CopyFileW(server.c_str(), windowsCopy.c_str(), FALSE) &&
                    MoveFileExW(server.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING);
         },
         // The server goes back whatever happens: later tests of this prefix need it.
         [&] {
             MoveFileExW(aside.c_str(), server.c_str(), MOVEFILE_REPLACE_EXISTING);
             DeleteFileW(windowsCopy.c_str());
         },
         L"", true, WindowsDir(), L"",
         "System32's regsvr32.exe belongs to TrustedInstaller: not even an administrator may move it aside"},
        {"a server that asks the window something", setVariable(L"TANDREL_SUITE_ASK", L"Daskel.dll"),
         setVariable(L"TANDREL_SUITE_ASK", nullptr), L"", true, SystemDir(),
         L"Daskel.dll Answered \"" + SystemDir() + L"regsvr32\" /s \"" + SystemDir() + L"Daskel.dll\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.wineOnly && !UiAutomation::UnderWine()) {
            std::printf("Skipped on Windows, %s: %s\n", c.name, c.wineOnly);
            continue;
        }
        SetUp();
        bool ran = c.damage() && tandrel.Start() && tandrel.ClickAndWait(104);
        std::vector<std::wstring> expected;
        for (const wchar_t* file : ComponentFiles) {
            if (file != c.failed || c.failedStarts)
                expected.push_back(StartedLine(file, c.serverDir));
        }
        if (!c.extraLine.empty())
            expected.push_back(c.extraLine);
        std::sort(expected.begin(), expected.end());
        auto lines = SuiteLog(ran ? expected.size() : 0);
        // A start for a file that must not start would show up late.
        if (ran && !c.failedStarts) {
            Sleep(1000);
            lines = SuiteLog(expected.size());
        }
        std::wstring log = ran ? tandrel.LogText() : L"";
        c.repair();
        TearDown();
        ASSERT_TRUE(ran);
        EXPECT_EQ(log, L"Vestrel Path: " + InstallDir + L"\r\n" + CreateReport({c.failed}));
        EXPECT_EQ(lines, expected);
    }
}

// From a script: no window, the window's log text in a UTF-8 file, and an
// exit code that says whether every command succeeded.
TEST_F(RoundTrip, UnattendedRunsWriteTheWindowsLogAndEndWithTheirExitCode)
{
    const std::string tandrelExe = "\"" + UiAutomation::OwnFolder() + "Tandrel.exe\"";
    const std::string logPath = UiAutomation::OwnFolder() + "unattended.log";
    const std::string logSwitch = " /log \"" + logPath + "\"";
    const std::wstring start = L"Log file: " + Narrow(logPath) + L"\r\nVestrel Path: " + InstallDir + L"\r\n";
    // The file's first lines name the version, its bitness, the machine, the time, the system, the account and
    // the command line; the log text follows, and the verdict of the run ends it.
    auto logVerdict = [&logPath] {
        std::wstring text = UiAutomation::Utf8FileText(logPath);
        return LastLineJson(std::string(text.begin(), text.end()));
    };
    const std::wstring bits = sizeof(void*) == 8 ? L" (64-bit) on " : L" (32-bit) on ";
    auto logText = [&logPath, &bits] {
        std::wstring text = UiAutomation::Utf8FileText(logPath);
        std::size_t end = text.find(L"\r\nCommand line: ");
        bool named = text.rfind(L"Tandrel ", 0) == 0 && end != std::wstring::npos &&
                     text.substr(0, end).find(bits) != std::wstring::npos &&
                     text.substr(0, end).find(L", Windows ") != std::wstring::npos &&
                     text.substr(0, end).find(L", as ") != std::wstring::npos;
        text = named ? text.substr(text.find(L"\r\n", end + 2) + 2) : text;
        std::size_t verdict = text.rfind(L"\r\n{\"tool\":\"Tandrel\",");
        return verdict == std::wstring::npos ? text : text.substr(0, verdict + 2);
    };

    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " -CREATE" + logSwitch), 0);
    EXPECT_EQ(logText(), start + CreateReport());
    // Where nobody sees the desktop, Create's programs register and end by themselves: none is left to close.
    const DWORD createStart = GetTickCount();
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /create" + logSwitch, 60000, nullptr, nullptr,
                                       UiAutomation::UnseenDesktop()),
              0);
    std::printf("/create on a desktop nobody sees: %lu ms\n", static_cast<unsigned long>(GetTickCount() - createStart));
    EXPECT_EQ(logText(), start + CreateReport());
    ASSERT_TRUE(WaitRegistered());

    // The registered suite checks clean; after Delete every class has a
    // problem; a repair mends them all, and the check after it is clean.
    // A backup never replaces a file: each run here finds the name free.
    const std::string backup = UiAutomation::OwnFolder() + "unattended.reg";
    const std::string backupSwitch = " /backup \"" + backup + "\"";
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check"), 0);
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /delete /yes" + backupSwitch), 0);
    // The console twin is waited for and gives the check's own exit code; its
    // output, like Tandrel.exe's log file, ends with the same verdict.
    const std::string tandrelCom = "\"" + UiAutomation::OwnFolder() + "Tandrel.com\"";
    std::string comOutput;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /check", 60000, nullptr, &comOutput), 1);
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check" + logSwitch), 1);
    std::wstring report = logText();
    EXPECT_EQ(report.find(L"\tOK\r\n"), std::wstring::npos);
    EXPECT_NE(report.find(L"\r\n*** 15 PROBLEMS FOUND - Scroll back to see them.\r\n"), std::wstring::npos);
    Json shown = LastLineJson(comOutput);
    Json logged = logVerdict();
    // Without /log the run keeps its own, in the program data's Tandrel\Logs, named after its command.
    const std::string ownLog = shown["log"].is_string() ? shown["log"].get<std::string>() : "";
    EXPECT_NE(ownLog.find(":\\ProgramData\\Tandrel\\Logs\\Check-"), std::string::npos) << ownLog;
    const std::wstring ownText = UiAutomation::Utf8FileText(ownLog);
    EXPECT_EQ(LastLineJson(std::string(ownText.begin(), ownText.end())), shown);
    EXPECT_EQ(shown["commands"], Json::array({"check"}));
    EXPECT_EQ(shown["exitCode"], 1);
    EXPECT_EQ(shown["problems"], 15);
    EXPECT_EQ(shown["classesWithProblems"].size(), 15u);
    EXPECT_EQ(logged["log"], std::string(logPath));
    for (Json* verdict : {&shown, &logged}) {
        verdict->erase("time");
        verdict->erase("log");
    }
    EXPECT_EQ(shown, logged);
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /frobnicate", 60000, nullptr, &comOutput), 2);
    EXPECT_EQ(LastLineJson(comOutput)["error"], "Unknown argument: /frobnicate");
    // The time carries its offset from UTC; the usage names the program that was started, and /version its build.
    EXPECT_TRUE(std::regex_match(LastLineJson(comOutput)["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /help", 60000, nullptr, &comOutput), 0);
    EXPECT_EQ(comOutput.rfind("Usage: Tandrel.com [/load]", 0), 0u) << comOutput;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /version", 60000, nullptr, &comOutput), 0);
    EXPECT_EQ(comOutput.substr(0, comOutput.find("\r\n")),
              "Tandrel " TANDREL_VERSION " (" + std::to_string(sizeof(void*) * 8) + "-bit)");
    // While the installer's transaction lock is held, what would change the registration waits, and a check reads.
    {
        UniqueKernelHandle installing(CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute"));
        ASSERT_TRUE(installing);
        EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /repair", 60000, nullptr, &comOutput), 1618);
        EXPECT_EQ(LastLineJson(comOutput)["reason"], "installer-busy");
        EXPECT_EQ(UiAutomation::RunAndWait(tandrelCom + " /check", 60000, nullptr, &comOutput), 1);
        EXPECT_EQ(LastLineJson(comOutput)["reason"], "problems");
    }
    // Without switches where no screen shows the desktop, neither program opens a window to wait there unseen.
    const char* unseen = UiAutomation::UnseenDesktop();
    ASSERT_NE(unseen, nullptr);
    for (const std::string& program : {tandrelCom, tandrelExe}) {
        SCOPED_TRACE(program);
        const DWORD begun = GetTickCount();
        EXPECT_EQ(UiAutomation::RunAndWait(program, 60000, nullptr, &comOutput, unseen), 2);
        const DWORD took = GetTickCount() - begun;
        std::printf("%s without switches on a desktop nobody sees: exit code 2 after %lu ms\n", program.c_str(),
                    static_cast<unsigned long>(took));
        EXPECT_LT(took, 10000u);
        if (program == tandrelCom) {
            EXPECT_EQ(LastLineJson(comOutput)["reason"], "usage");
            EXPECT_EQ(LastLineJson(comOutput)["error"],
                      "No window opens: nobody can see this session's desktop. Give one of these switches.");
        }
    }
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + backupSwitch, 120000), 0);
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check"), 0);

    // A repair's backup says what made it, and every way back takes it: Tandrel's restore, the 32-bit reg import
    // and the 64-bit registry editor (a double-click) each bring back the registration the repair replaced.
    const std::wstring progIdKey = L"Software\\Classes\\CLSID\\" + Text(CLSID_Glimmet_ctlGlimmet) + L"\\ProgID";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, progIdKey.c_str(), nullptr, REG_SZ, L"Glimmet.ctlOther", 34), 0);
    std::vector<std::wstring> replaced[2];
    for (bool view32 : {false, true})
        replaced[view32] = UiAutomation::ExportMachineKeys(view32, true, "Software\\Classes");
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + backupSwitch, 120000), 0);
    const std::wstring made = UiAutomation::Utf16FileText(backup);
    const std::size_t second = made.find(L"\r\n") + 2;
    EXPECT_EQ(made.substr(second, 10), L"; Tandrel ");
    EXPECT_NE(made.substr(second, made.find(L"\r\n", second) - second).find(L"; command line: /repair /backup "),
              std::wstring::npos);
    const std::string scratch = UiAutomation::OwnFolder() + "scratch.reg";
    for (const std::string& route : {tandrelExe + " /restore \"" + backup + "\"", "reg.exe import \"" + backup + "\"",
                                     "C:\\windows\\regedit.exe /s \"" + backup + "\""}) {
        SCOPED_TRACE(route);
        DeleteFileA(scratch.c_str());
        ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /delete /yes /backup \"" + scratch + "\""), 0);
        EXPECT_EQ(UiAutomation::RunAndWait(route), 0);
        for (bool view32 : {false, true})
            EXPECT_EQ(UiAutomation::ExportMachineKeys(view32, true, "Software\\Classes"), replaced[view32]);
    }
    DeleteFileA(scratch.c_str());
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + backupSwitch, 120000), 0);

    // A restore that points a suite class at a file that is not its component writes it, since a backup holds
    // what was there, and says so before it writes.
    const std::wstring glimmetServer = L"\\" + Text(CLSID_Glimmet_ctlGlimmet) + L"\\InprocServer32]";
    const std::size_t serverKey = made.rfind(L'[', made.find(glimmetServer));
    const std::wstring serverPath = L"Software\\Classes\\CLSID\\" + Text(CLSID_Glimmet_ctlGlimmet) + L"\\InprocServer32";
    wchar_t original[MAX_PATH] = {};
    DWORD originalSize = sizeof original;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, serverPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, original,
                           &originalSize),
              0);
    const std::size_t glimmetProgId = made.rfind(L'[', made.find(L"\\Glimmet.ctlGlimmet\\CLSID]"));
    const std::wstring pointed = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n" +
                                 made.substr(glimmetProgId, made.find(L"\r\n\r\n", glimmetProgId) + 4 - glimmetProgId) +
                                 made.substr(serverKey, made.find(L']', serverKey) + 1 - serverKey) +
                                 L"\r\n@=\"C:\\\\windows\\\\system32\\\\NotGlimmet.ocx\"\r\n\r\n";
    {
        std::ofstream(scratch, std::ios::binary)
            .write(reinterpret_cast<const char*>(pointed.data()), static_cast<std::streamsize>(pointed.size() * 2));
    }
    std::string warned;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /restore \"" + scratch + "\"", 60000, nullptr, &warned), 0);
    EXPECT_NE(warned.find("\tWARNING: The default value of "), std::string::npos) << warned;
    EXPECT_NE(warned.find("Restored "), std::string::npos) << warned;
    EXPECT_NE(warned.find("names C:\\windows\\system32\\NotGlimmet.ocx, "), std::string::npos) << warned;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, serverPath.c_str(), nullptr, REG_SZ, original, originalSize), 0);

    DeleteFileA(backup.c_str());
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /load /delete /yes" + backupSwitch + " /create" + logSwitch), 0);
    EXPECT_EQ(logText(), start + LoadReport() + DeleteReport(backup) + CreateReport());
    ASSERT_TRUE(WaitRegistered());

    // The log is named where the file system put it: for a 32-bit program on
    // 64-bit Windows the system folder is SysWOW64.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string systemLog = "C:\\windows\\system32\\tandrel-final.log";
    std::string named;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check /log " + systemLog, 60000, nullptr, &named), 0);
    CharLowerBuffA(named.data(), static_cast<DWORD>(named.size()));
    EXPECT_EQ(named.rfind(std::string("log file: c:\\windows\\") + (wow64 ? "syswow64" : "system32") +
                              "\\tandrel-final.log\r\n",
                          0),
              0u)
        << named;
    DeleteFileA(systemLog.c_str());

    // A backup that cannot go where it is asked to, like any wrong command
    // line, ends the run at once, touching nothing.
    std::string refusedBackup;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /delete /yes /backup \"" + UiAutomation::OwnFolder() +
                                           "no-such-folder\\b.reg\"",
                                       60000, nullptr, &refusedBackup),
              2);
    const std::string noFolder = "Cannot use the backup file " + UiAutomation::OwnFolder() + "no-such-folder\\b.reg: ";
    EXPECT_EQ(refusedBackup.rfind(noFolder, 0), 0u) << refusedBackup;
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /delete" + logSwitch), 2);
    EXPECT_EQ(logText().rfind(L"/delete needs /yes", 0), 0u);
    HKEY progId = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Glimmet.ctlGlimmet", 0, KEY_READ, &progId),
              ERROR_SUCCESS);
    RegCloseKey(progId);

    // A switch, a device, a link to a folder and a file with a second name are refused, with the reason; the
    // file that the second name shares is left byte for byte as it was.
    const std::string folderLink = UiAutomation::OwnFolder() + "fixtures-link";
    const std::string hardLink = UiAutomation::OwnFolder() + "hard-link.log";
    const std::string linked = UiAutomation::OwnFolder() + "linked.txt";
    const std::string linkedText = "Someone else's file, which a log must not replace.";
    const std::string victim = UiAutomation::OwnFolder() + "fixtures\\victim.txt";
    {
        std::ofstream(victim, std::ios::binary) << linkedText;
    }
    DeleteFileA(hardLink.c_str());
    {
        std::ofstream(linked, std::ios::binary) << linkedText;
    }
    ASSERT_TRUE(CreateHardLinkA(hardLink.c_str(), linked.c_str(), nullptr));
    DeleteFileA("\\load");
    const std::pair<std::string, std::string> refused[] = {
        {" /log /load", "/log needs the name of a file, not the switch /load."},
        {" /load /log NUL", "Cannot use the log file \\\\.\\NUL: it is a device or a pipe, not a file on a disk."},
        {" /load /log \"" + folderLink + "\"",
         "Cannot use the log file " + folderLink + ": it is a symbolic link or a mount point"},
        {" /check /log \"" + folderLink + "\\victim.txt\"",
         "Cannot use the log file " + folderLink + "\\victim.txt: the folder " + folderLink + " leads "},
        {" /load /log \"" + hardLink + "\"",
         "Cannot use the log file " + hardLink + ": it has other names (hard links), and Tandrel does not write through one."},
    };
    for (const auto& [arguments, reason] : refused) {
        std::string output;
        EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + arguments, 60000, nullptr, &output), 2) << arguments;
        EXPECT_EQ(output.rfind(reason, 0), 0u) << output;
    }
    EXPECT_EQ(GetFileAttributesA("\\load"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(UiAutomation::Utf8FileText(linked), std::wstring(linkedText.begin(), linkedText.end()));
    EXPECT_EQ(UiAutomation::Utf8FileText(victim), std::wstring(linkedText.begin(), linkedText.end()));
    DeleteFileA(victim.c_str());
    DeleteFileA(hardLink.c_str());
    DeleteFileA(linked.c_str());

    ASSERT_TRUE(DeleteFileW((SystemDir() + L"Wrenna.dll").c_str()));
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /create" + logSwitch), 1);
    EXPECT_EQ(logText(), start + CreateReport({L"Wrenna.dll"}));

    // While a library hangs in its registration, its heading is already in the
    // file, and a second run finds the first one's lock and does nothing.
    SetEnvironmentVariableW(L"TANDREL_SUITE_HANG", L"Glimmet.ocx");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = tandrelExe + " /create" + logSwitch;
    auto startHanging = [&] {
        return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &process);
    };
    ASSERT_TRUE(startHanging());
    const std::wstring heading = start + Separator + L"\r\nCreating registry entry for Glimmet.ocx's classes\r\n";
    auto waitHeading = [&] {
        for (DWORD begun = GetTickCount(); logText() != heading && GetTickCount() - begun < 5000;)
            Sleep(50);
        return logText();
    };
    EXPECT_EQ(waitHeading(), heading);
    const std::string busy = "Another Tandrel run is in progress on this computer; nothing was done.";
    std::string output;
    DWORD asked = GetTickCount();
    const std::string otherLog = UiAutomation::OwnFolder() + "other.log";
    {
        std::ofstream(otherLog, std::ios::binary) << "earlier";
    }
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check /log \"" + otherLog + "\"", 60000, nullptr, &output), 1618);
    EXPECT_LT(GetTickCount() - asked, 5000u);
    EXPECT_EQ(UiAutomation::Utf8FileText(otherLog), L"earlier") << "a run without the lock wrote its log";
    DeleteFileA(otherLog.c_str());
    EXPECT_EQ(output.substr(0, busy.size() + 2), busy + "\r\n");
    EXPECT_EQ(LastLineJson(output)["error"], busy);
    EXPECT_EQ(LastLineJson(output)["exitCode"], 1618);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "no longer hanging";
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(logText(), start + CreateReport({L"Glimmet.ocx", L"Wrenna.dll"}));

    // A run killed mid-Create leaves no lock behind: the next one takes it
    // over, and says so while another process still had the lock open.
    // Killed while its server was still starting, Wine's server never ends
    // and holds the test's output open: kill it once the library is hanging.
    auto hangingServers = [this] {
        auto lines = SuiteLog(0, 0);
        return std::count_if(lines.begin(), lines.end(),
                             [](const std::wstring& l) { return l.rfind(L"Glimmet.ocx DllRegisterServer", 0) == 0; });
    };
    const auto before = hangingServers();
    ASSERT_TRUE(startHanging());
    EXPECT_EQ(waitHeading(), heading);
    for (DWORD begun = GetTickCount(); hangingServers() == before && GetTickCount() - begun < 10000;)
        Sleep(50);
    EXPECT_EQ(hangingServers(), before + 1);
    {
        UiAutomation::RunLockWatcher lock;
        EXPECT_TRUE(lock.Opened());
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check" + logSwitch), 1);
        const std::wstring takenOver = L"\r\nThe last Tandrel run on this computer ended before it finished.\r\n";
        EXPECT_EQ(logText().find(L"Log file: " + Narrow(logPath) + takenOver + L"Vestrel Path: "), 0u);
    }
    SetEnvironmentVariableW(L"TANDREL_SUITE_HANG", nullptr);

    // A library registered from another folder and gone from the system
    // folder: Create could not register it again, so the repair changes
    // nothing in either registry view.
    const std::wstring otherFolder = InstallDir + L"Other\\";
    CreateDirectoryW(otherFolder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((builtSuite + L"Wrenna.dll").c_str(), (otherFolder + L"Wrenna.dll").c_str(), FALSE));
    const std::wstring server = L"\"" + SystemDir() + L"regsvr32.exe\" /s \"" + otherFolder + L"Wrenna.dll\"";
    ASSERT_EQ(UiAutomation::RunAndWait(std::string(server.begin(), server.end())), 0);
    // Classes is all a repair could change; the whole machine takes minutes to export.
    const std::string classes = "Software\\Classes";
    std::vector<std::wstring> views[2] = {UiAutomation::ExportMachineKeys(false, true, classes),
                                          UiAutomation::ExportMachineKeys(true, true, classes)};
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + backupSwitch + logSwitch, 180000), 1);
    report = logText();
    EXPECT_NE(report.find(L"names " + otherFolder + L"Wrenna.dll, not " + SystemDir() + L"Wrenna.dll.\r\n"),
              std::wstring::npos);
    const std::wstring closing = L" FOUND - Scroll back to see them.\r\n\tMISSING: " + SystemDir() +
                                 L"Wrenna.dll\r\n\r\n*** NOTHING CHANGED - Scroll back to see why.\r\n";
    EXPECT_EQ(report.substr(report.size() - std::min(report.size(), closing.size())), closing);
    EXPECT_EQ(UiAutomation::ExportMachineKeys(false, true, classes), views[0]);
    EXPECT_EQ(UiAutomation::ExportMachineKeys(true, true, classes), views[1]);
    EXPECT_EQ(GetFileAttributesA(backup.c_str()), INVALID_FILE_ATTRIBUTES) << "a backup was written";
    DeleteFileW((otherFolder + L"Wrenna.dll").c_str());
    RemoveDirectoryW(otherFolder.c_str());
    DeleteFileA(logPath.c_str());
    DeleteFileA(backup.c_str());
}

// What keeps a registered class from being created: a server file of the other
// bitness, one whose import is gone, a user's own class key, a type library
// version whose file is gone. A repair refuses to re-register the files and
// changes nothing; with the files sound it mends the machine and leaves the
// user's key, which the check after it still names.
TEST_F(RoundTrip, CheckNamesWhatKeepsAClassFromBeingCreated)
{
    const std::string tandrelExe = "\"" + UiAutomation::OwnFolder() + "Tandrel.exe\"";
    const std::string logPath = UiAutomation::OwnFolder() + "loadable.log";
    const std::string backup = UiAutomation::OwnFolder() + "loadable.reg";
    const std::string switches = " /backup \"" + backup + "\" /log \"" + logPath + "\"";
    auto logText = [&logPath] { return UiAutomation::Utf8FileText(logPath); };
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /create"), 0);
    ASSERT_TRUE(WaitRegistered());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check"), 0);

    const std::wstring variants = builtSuite + L"variants\\";
    const std::wstring wrenna = SystemDir() + L"Wrenna.dll";
    const std::wstring glimmet = SystemDir() + L"Glimmet.ocx";
    const std::wstring aid = SystemDir() + L"WrennaAid.dll";
    ASSERT_TRUE(CopyFileW((variants + L"WrennaNeedsAid.dll").c_str(), glimmet.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaAid.dll").c_str(), aid.c_str(), FALSE));
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check"), 0) << "the library it imports is there";
    // Found only through this process's PATH, which the check's is: fine, with a note.
    const std::wstring pathFolder = L"C:\\tandrel-path";
    CreateDirectoryW(pathFolder.c_str(), nullptr);
    ASSERT_TRUE(MoveFileExW(aid.c_str(), (pathFolder + L"\\WrennaAid.dll").c_str(), MOVEFILE_REPLACE_EXISTING));
    SetEnvironmentVariableW(L"PATH", (path + L";" + pathFolder).c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check /log \"" + logPath + "\""), 0);
    EXPECT_NE(logText().find(L"\r\nChecking Class: Glimmet.ctlGlimmet\r\n\tNOTE: WrennaAid.dll is found only through "
                             L"PATH, in C:\\tandrel-path\r\n\tOK\r\n"),
              std::wstring::npos);
    SetEnvironmentVariableW(L"PATH", path.c_str());
    ASSERT_TRUE(DeleteFileW((pathFolder + L"\\WrennaAid.dll").c_str()));
    RemoveDirectoryW(pathFolder.c_str());
    // Found only in the 16-bit system folder, which the loader searches after the system folder: a check finds
    // nothing, and a repair that has something to mend is not stopped as unable to load it. Wrenna needs it here,
    // so that the repair's registration of Glimmet is Glimmet's own.
    ASSERT_TRUE(CopyFileW((builtSuite + L"Glimmet.ocx").c_str(), glimmet.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaNeedsAid.dll").c_str(), wrenna.c_str(), FALSE));
    const std::wstring system16 = WindowsDir() + L"System\\WrennaAid.dll";
    CreateDirectoryW((WindowsDir() + L"System").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((variants + L"WrennaAid.dll").c_str(), system16.c_str(), FALSE));
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check"), 0);
    const std::wstring glimmetProgId = L"Software\\Classes\\CLSID\\" + Text(CLSID_Glimmet_ctlGlimmet) + L"\\ProgID";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, glimmetProgId.c_str(), nullptr, REG_SZ, L"Glimmet.ctlOther", 34), 0);
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + switches, 180000), 0);
    EXPECT_EQ(logText().find(L"CANNOT LOAD"), std::wstring::npos);
    EXPECT_NE(logText().find(L"\r\nBackup: "), std::wstring::npos) << "the repair stopped before its deletion";
    ASSERT_TRUE(DeleteFileW(system16.c_str()));
    DeleteFileA(backup.c_str());
    ASSERT_TRUE(CopyFileW((variants + L"WrennaNeedsAid.dll").c_str(), glimmet.c_str(), FALSE));
    // A program whose WrennaAid.dll lacks a function it imports, which Windows refuses to start.
    const std::wstring corvane = InstallDir + L"Corvane.exe";
    ASSERT_TRUE(CopyFileW((variants + L"CorvaneWants.exe").c_str(), corvane.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaAid.dll").c_str(), (InstallDir + L"WrennaAid.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaOtherBits.dll").c_str(), wrenna.c_str(), FALSE));
    const std::wstring userKey = L"Software\\Classes\\CLSID\\" + Text(CLSID_Corvane_clsMail);
    const std::wstring addUserKey = L"\"" + SystemDir() + L"reg.exe\" add \"HKCU\\" + userKey +
                                    L"\\InprocServer32\" /ve /d C:\\Users\\Corvane.dll /f";
    ASSERT_EQ(UiAutomation::RunAndWait(std::string(addUserKey.begin(), addUserKey.end())), 0);
    const bool bits64 = sizeof(void*) == 8;
    const std::wstring fileKey = L"\\9.9\\0\\" + std::wstring(bits64 ? L"win64" : L"win32");
    const std::wstring stale = L"Software\\Classes\\TypeLib\\" + Text(LIBID_Vestrel) + fileKey;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, stale.c_str(), nullptr, REG_SZ, L"C:\\Gone\\Vestrel.tlb", 40), 0);

    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /check /log \"" + logPath + "\""), 1);
    const std::wstring caller = bits64 ? L" cannot be loaded by a 64-bit caller: " : L" cannot be loaded by a 32-bit caller: ";
    const std::wstring problems[] = {
        L"\tPROBLEM: " + wrenna + caller + (bits64 ? L"it is a 32-bit image." : L"it is a 64-bit image (x64)."),
        L"\tPROBLEM: " + glimmet + caller +
            L"it needs WrennaAid.dll, which is not in its own folder, the system folder, the 16-bit system folder, "
            L"the Windows folder or a folder of PATH.",
        L"\tPROBLEM: " + corvane + caller + L"it imports WrennaAidLater from " + InstallDir +
            L"WrennaAid.dll, which does not export it.",
        L"\\" + userKey + L" overrides the machine's registration for that user.\r\n",
        // Named as the registry editor names it, with the view a 32-bit program reads on 64-bit Windows.
        L"\tPROBLEM: HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib\\" + Text(LIBID_Vestrel) + fileKey +
            (bits64 ? L"" : L" (32-bit view)") + L" names C:\\Gone\\Vestrel.tlb, which is missing.\r\n",
    };
    std::wstring report = logText();
    for (const std::wstring& problem : problems)
        EXPECT_NE(report.find(problem), std::wstring::npos) << std::string(problem.begin(), problem.end());
    EXPECT_NE(report.find(L"\tPROBLEM: HKEY_USERS\\S-1-5-"), std::wstring::npos);

    const std::string classes = "Software\\Classes";
    std::vector<std::wstring> views[2] = {UiAutomation::ExportMachineKeys(false, true, classes),
                                          UiAutomation::ExportMachineKeys(true, true, classes)};
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + switches, 180000), 1);
    report = logText();
    const std::wstring refused = L"\tCANNOT LOAD: " + glimmet + L": it needs WrennaAid.dll, which is not in its own "
                                 L"folder, the system folder, the 16-bit system folder, the Windows folder or a "
                                 L"folder of PATH\r\n\tCANNOT LOAD: " +
                                 wrenna + (bits64 ? L": it is a 32-bit image" : L": it is a 64-bit image (x64)") +
                                 L"\r\n\tCANNOT LOAD: " + corvane + L": it imports WrennaAidLater from " + InstallDir +
                                 L"WrennaAid.dll, which does not export it" +
                                 L"\r\n\r\n*** NOTHING CHANGED - Scroll back to see why.\r\n";
    std::size_t verdict = report.rfind(L"{\"tool\"");
    EXPECT_NE(report.substr(0, verdict).rfind(refused), std::wstring::npos);
    EXPECT_EQ(report.substr(0, verdict).size() - report.substr(0, verdict).rfind(refused), refused.size());
    EXPECT_EQ(UiAutomation::ExportMachineKeys(false, true, classes), views[0]);
    EXPECT_EQ(UiAutomation::ExportMachineKeys(true, true, classes), views[1]);
    EXPECT_EQ(GetFileAttributesA(backup.c_str()), INVALID_FILE_ATTRIBUTES) << "a backup was written";
    auto cleanUp = [&] {
        RegDeleteTreeW(HKEY_CURRENT_USER, userKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, userKey.c_str());
        DeleteFileA(backup.c_str());
        DeleteFileA(logPath.c_str());
    };
    if (!UiAutomation::UnderWine()) {
        cleanUp();
        GTEST_SKIP() << "The rest needs an assembly of our own in WinSxS, which on Windows only the system's "
                        "installer may add.";
    }

    // Wrenna again, but finding WrennaAid.dll only in a side-by-side assembly that its manifest names.
    const std::wstring assembly = std::wstring(bits64 ? L"amd64" : L"x86") +
                                  L"_tandrel.test.wrennaaid_a1b2c3d4e5f60718_1.0.0.0_none_deadbeef";
    const std::wstring winSxS = WindowsDir() + L"winsxs\\";
    CreateDirectoryW((winSxS + assembly).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((variants + L"WrennaAidAssembly.manifest").c_str(),
                          (winSxS + L"manifests\\" + assembly + L".manifest").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaAid.dll").c_str(), (winSxS + assembly + L"\\WrennaAid.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((variants + L"WrennaSxs.dll").c_str(), wrenna.c_str(), FALSE));
    const std::wstring register_ = L"\"" + SystemDir() + L"regsvr32.exe\" /s \"" + wrenna + L"\"";
    EXPECT_EQ(UiAutomation::RunAndWait(std::string(register_.begin(), register_.end())), 0);
    ASSERT_TRUE(CopyFileW((builtSuite + L"Glimmet.ocx").c_str(), glimmet.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((builtSuite + L"Corvane.exe").c_str(), corvane.c_str(), FALSE));
    ASSERT_TRUE(DeleteFileW((InstallDir + L"WrennaAid.dll").c_str()));
    DeleteFileA(backup.c_str());
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /repair" + switches, 180000), 1);
    report = logText();
    EXPECT_NE(report.rfind(L"\r\nChecking Class: Wrenna.clsIFace\r\n\tOK\r\n"), std::wstring::npos);
    DeleteFileW((winSxS + L"manifests\\" + assembly + L".manifest").c_str());
    DeleteFileW((winSxS + assembly + L"\\WrennaAid.dll").c_str());
    RemoveDirectoryW((winSxS + assembly).c_str());
    const std::wstring last = L"\r\n*** 1 PROBLEM FOUND - Scroll back to see them.\r\n{\"tool\"";
    EXPECT_NE(report.find(L"\r\nBackup: "), std::wstring::npos);
    EXPECT_NE(report.rfind(last), std::wstring::npos);
    EXPECT_GT(report.rfind(problems[2]), report.rfind(L"Creating registry entry for"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, userKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS) << "removed";
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, stale.c_str(), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    cleanUp();
}

// Without an App Paths entry the suite's programs are looked for only beside
// Tandrel: a Corvane.exe planted in the current folder is never started, and
// a Tandrel copied into the suite's own folder starts the suite from there.
TEST_F(RoundTrip, WithoutAnInstallDirectoryOnlyTandrelsOwnFolderIsLookedIn)
{
    UiAutomation::SetVestrelAppPath(0, "");
    const std::string planted = UiAutomation::OwnFolder() + "planted";
    const std::wstring copy = InstallDir + L"Tandrel.exe";
    CreateDirectoryA(planted.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW((builtSuite + L"Corvane.exe").c_str(), (Narrow(planted) + L"\\Corvane.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((Narrow(UiAutomation::OwnFolder()) + L"Tandrel.exe").c_str(), copy.c_str(), FALSE));
    auto create = [&](const std::string& tandrelExe, std::size_t lines) {
        int code = UiAutomation::RunAndWait("\"" + tandrelExe + "\" /create", 60000, planted.c_str());
        SuiteLog(lines);
        Sleep(1000);  // a program that should not have started would show up late
        auto started = SuiteLog(lines);
        DeleteFileW(logFile.c_str());
        return std::make_pair(code, started);
    };
    auto [fromBuild, buildLines] = create(UiAutomation::OwnFolder() + "Tandrel.exe", 3);
    auto [fromSuite, suiteLines] = create(std::string(copy.begin(), copy.end()), 9);
    DeleteFileW(copy.c_str());
    DeleteFileW((Narrow(planted) + L"\\Corvane.exe").c_str());
    RemoveDirectoryA(planted.c_str());

    std::vector<std::wstring> expected;
    std::vector<std::wstring> libraries;
    for (const wchar_t* file : ComponentFiles)
        (IsLibrary(file) ? libraries : expected).push_back(StartedLine(file, SystemDir()));
    std::sort(libraries.begin(), libraries.end());
    EXPECT_EQ(fromBuild, 1);
    EXPECT_EQ(buildLines, libraries);
    expected.insert(expected.end(), libraries.begin(), libraries.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(fromSuite, 0);
    EXPECT_EQ(suiteLines, expected);
}

// The suite's programs running now; with `end`, ended first.
int StandInsRunning(bool end = false)
{
    int running = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        for (const wchar_t* file : ComponentFiles) {
            if (lstrcmpiW(entry.szExeFile, file) != 0)
                continue;
            ++running;
            HANDLE process = end ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID) : nullptr;
            if (process) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
                CloseHandle(process);
            }
        }
    }
    CloseHandle(snapshot);
    return running;
}

// The system's own answer for each class: the healthy suite is created whole and leaves nothing running; each way
// a server can fail gives its line under its class, and a server that never answers costs 20 s, not Wine's 30.
// The failures come last: a server ended by force stays in Wine's table of running servers for the prefix's life.
TEST_F(RoundTrip, VerifyCreatesEachClassAsAScriptDoes)
{
    const std::string tandrelExe = "\"" + UiAutomation::OwnFolder() + "Tandrel.exe\"";
    const std::string logPath = UiAutomation::OwnFolder() + "verify.log";
    auto logText = [&logPath] { return UiAutomation::Utf8FileText(logPath); };
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /create"), 0);
    ASSERT_TRUE(WaitRegistered());
    ASSERT_EQ(UiAutomation::RunAndWait(tandrelExe + " /verify /log \"" + logPath + "\"", 120000), 0);
    std::wstring report = logText();
    std::size_t created = 0;
    for (std::size_t at = 0; (at = report.find(L"\tCreated: OK\r\n", at)) != std::wstring::npos; ++at)
        ++created;
    EXPECT_EQ(created, 15u) << std::string(report.begin(), report.end());
    EXPECT_EQ(report.find(L"is still running"), std::wstring::npos);
    EXPECT_EQ(StandInsRunning(), 0);

    const std::pair<const wchar_t*, const wchar_t*> misbehaviours[] = {
        {L"TANDREL_SUITE_NOLOAD", L"Daskel.dll"},   {L"TANDREL_SUITE_REFUSE", L"Wrenna.dll"},
        {L"TANDREL_SUITE_CREATE_CRASH", L"Glimmet.ocx"}, {L"TANDREL_SUITE_SILENT", L"Sulvary.exe"},
        {L"TANDREL_SUITE_CREATE_HANG", L"Brenlow.exe"},
    };
    for (const auto& [variable, file] : misbehaviours)
        SetEnvironmentVariableW(variable, file);
    const DWORD start = GetTickCount();
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /verify /log \"" + logPath + "\"", 180000), 1);
    const DWORD took = GetTickCount() - start;
    for (const auto& [variable, file] : misbehaviours)
        SetEnvironmentVariableW(variable, nullptr);
    report = logText();
    // Wine answers a failing DllMain and a refusing library factory alike (wine-notes); Windows tells them apart.
    const std::wstring lines[] = {
        L"\tPROBLEM: Daskel.clsEntity cannot be created: CoCreateInstance returned 0x80040154",
        L"\tPROBLEM: Wrenna.clsIFace cannot be created: CoCreateInstance returned 0x80040154",
        L"\tPROBLEM: Glimmet.ctlGlimmet cannot be created: the process that created it ended with exception "
        L"0xC0000005 (the check found nothing wrong)\r\n",
        L"\tPROBLEM: Sulvary.clsPhone cannot be created: the server did not answer within 20 s (the check found "
        L"nothing wrong)\r\n",
        L"\tPROBLEM: Brenlow.clsIFace cannot be created: the server did not answer within 20 s (the check found "
        L"nothing wrong)\r\n",
        L"\tNOTE: C:\\Program Files\\Vestrel\\Brenlow.exe (process ",
        L"\r\n*** 9 PROBLEMS FOUND - Scroll back to see them.\r\n",
    };
    for (const std::wstring& line : lines)
        EXPECT_NE(report.find(line), std::wstring::npos) << std::string(line.begin(), line.end());
    EXPECT_NE(report.find(L"Checking Class: Corvane.clsMail\r\n"), std::wstring::npos);
    EXPECT_NE(report.find(L"\tOK\r\n\tCreated: OK\r\n\r\nChecking Class: Sulvary.clsPhone"), std::wstring::npos);
    // Two limits of 20 s, one wait of 10 s for the programs left running, and the rest as in the healthy run.
    EXPECT_LT(took, 80000u);
    EXPECT_GT(took, 40000u);
    EXPECT_GT(StandInsRunning(true), 0) << "the hung and the silent server are left alone";

    // Where nobody sees the desktop, the server left running is ended once it has had its 10 s to close: the
    // stand-ins serve without a window. Omberly's server has not been ended by force, so Wine starts it anew.
    SetEnvironmentVariableW(L"TANDREL_SUITE_CREATE_HANG", L"Omberly.exe");
    const DWORD unseenStart = GetTickCount();
    EXPECT_EQ(UiAutomation::RunAndWait(tandrelExe + " /verify /log \"" + logPath + "\"", 180000, nullptr, nullptr,
                                       UiAutomation::UnseenDesktop()),
              1);
    std::printf("/verify on a desktop nobody sees, with a server left running: %lu ms\n",
                static_cast<unsigned long>(GetTickCount() - unseenStart));
    SetEnvironmentVariableW(L"TANDREL_SUITE_CREATE_HANG", nullptr);
    report = logText();
    const std::wstring ended = L"\tEnded C:\\Program Files\\Vestrel\\Omberly.exe (process ";
    const std::size_t at = report.find(ended);
    ASSERT_NE(at, std::wstring::npos) << std::string(report.begin(), report.end());
    const std::size_t close = report.find(L")", at), end = report.find(L"\r\n", at);
    EXPECT_EQ(report.substr(close, end - close),
              L"), which nobody can see: it has no window to close, and did not end within 10 s.");
    EXPECT_NE(report.find(L"\tNOTE: C:\\Program Files\\Vestrel\\Omberly.exe (process "), std::wstring::npos);
    EXPECT_EQ(StandInsRunning(), 0);
    DeleteFileA(logPath.c_str());
}

}  // namespace

