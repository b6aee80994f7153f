#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/common/RegistryViews.h"

// Drives a running Tandrel window from another process, as a person would:
// finding it, clicking its buttons, answering its message box, reading its log.
namespace UiAutomation {

struct ChildInfo {
    int id;
    std::string className;
    std::wstring text;
    RECT rect;  // in the parent's client coordinates
    bool enabled;
    bool visible;
};

struct MessageBoxInfo {
    HWND window;
    std::wstring caption;
    std::wstring prompt;
    std::vector<std::wstring> buttons;
    bool hasQuestionIcon;
};

// The folder of the running test program, ending in "\".
std::string OwnFolder();

// Whether this program runs under Wine rather than on Windows itself.
bool UnderWine();

// Holds Tandrel's run lock open, as a second process that shares it would:
// in Tandrel's private namespace where the system has one, else in Global\.
class RunLockWatcher {
public:
    RunLockWatcher();
    ~RunLockWatcher();
    RunLockWatcher(const RunLockWatcher&) = delete;
    RunLockWatcher& operator=(const RunLockWatcher&) = delete;
    [[nodiscard]] bool Opened() const { return mutex_ != nullptr; }

private:
    HANDLE mutex_ = nullptr;
    HANDLE space_ = nullptr;
};

class TandrelProcess {
public:
    TandrelProcess() = default;
    ~TandrelProcess();
    TandrelProcess(const TandrelProcess&) = delete;
    TandrelProcess& operator=(const TandrelProcess&) = delete;

    // Starts Tandrel.exe from this program's folder and waits for its window.
    bool Start(DWORD timeoutMs = 30000);
    [[nodiscard]] HWND Window() const { return window_; }
    [[nodiscard]] HANDLE Process() const { return process_.hProcess; }

    [[nodiscard]] std::wstring LogText() const;
    // The caret (selection start and end) of the log.
    [[nodiscard]] std::pair<DWORD, DWORD> LogSelection() const;
    [[nodiscard]] std::vector<ChildInfo> Children() const;
    [[nodiscard]] SIZE ClientSize() const;
    [[nodiscard]] HWND Control(int id) const { return GetDlgItem(window_, id); }

    // Clicks a button and returns at once (the command may open a box).
    void Click(int id) const;
    // Waits until the window has finished what it was doing.
    bool WaitIdle(DWORD timeoutMs = 120000) const;
    // Clicks and waits for the command to end.
    bool ClickAndWait(int id, DWORD timeoutMs = 120000) const;

    // Waits for a message box of this process.
    [[nodiscard]] std::optional<MessageBoxInfo> WaitMessageBox(DWORD timeoutMs = 10000) const;
    // Presses a button of a message box: IDYES, IDNO, ...
    static void Answer(HWND box, int button);

    bool ResizeClient(int width, int height) const;
    bool WaitExit(DWORD timeoutMs = 10000) const;
    // Ends the process if it is still running.
    void Kill();

private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// Saves the window's pixels as it shows on the screen.
bool SaveScreenshot(HWND window, const std::wstring& path);

// Runs a program of this prefix and waits for it; returns its exit code, or
// -1 when it could not be started. With `folder`, that is its current folder;
// with `output`, its standard output is collected there; with `desktop`
// ("Station\\Desktop"), it runs there.
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000, const char* folder = nullptr,
               std::string* output = nullptr, const char* desktop = nullptr);

// A desktop in a window station of its own, made once, which no screen shows (WSF_VISIBLE clear), as in the
// session where services and deployment tools run; nullptr when it cannot be made.
const char* UnseenDesktop();

// Imports a registry file from the fixtures folder beside this program with
// reg.exe, which writes the registry view that Tandrel sees.
bool ImportFixture(const std::string& name);
// Removes every key that a registry file names, with all below it.
void RemoveFixtureKeys(const std::string& name);
// The text of a file in the fixtures folder.
std::wstring FixtureText(const std::string& name);
// The text of a UTF-8 file, or of a UTF-16 one (its byte-order mark kept);
// "" when there is none.
std::wstring Utf8FileText(const std::string& path);
std::wstring Utf16FileText(const std::string& path);

// Takes Delete's "Backup: FILE" line out of a log and gives FILE; "" when
// there is none or FILE is not a new file in %ProgramData%\Tandrel\Backups.
std::string TakeBackupLine(std::wstring& log);

// Every key of HKEY_LOCAL_MACHINE in one registry view (reg.exe export),
// lower-cased, without the root's name; with `withValues` also a line for
// each value, as its key, a tab and the value's line in the export. With
// `below`, only that key's tree. On Windows "every key" is every key of
// Software\Classes, which holds all that Tandrel changes: the whole machine
// cannot be exported there (SAM and SECURITY refuse even administrators), and
// its services change it meanwhile.
std::vector<std::wstring> ExportMachineKeys(bool view32, bool withValues = false, const std::string& below = "");

// The bitness of the Tandrel.exe beside this program, read from its PE header,
// and whether this Windows has a 32-bit view beside the 64-bit one.
RegistryViews::Setting TandrelSetting();

// Waits until a window is gone.
bool WaitGone(HWND window, DWORD timeoutMs = 10000);

// Sets HKLM\...\App Paths\Vestrel.exe, or removes it for type 0.
void SetVestrelAppPath(DWORD type, const std::string& value);

}  // namespace UiAutomation
