#include "tests/windows/ui/UiAutomation.h"

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace UiAutomation {

namespace {

constexpr char Caption[] = "Registry entries of Vestrel, Corvane classes";
constexpr char AppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vestrel.exe";

struct FindData {
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != data->processId || !IsWindowVisible(window))
        return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (data->className && lstrcmpA(className, data->className) != 0)
        return TRUE;
    if (data->caption && lstrcmpA(caption, data->caption) != 0)
        return TRUE;
    data->found = window;
    return FALSE;
}

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        FindData data{processId, className, caption, nullptr};
        EnumWindows(&FindWindowOfProcess, reinterpret_cast<LPARAM>(&data));
        if (data.found)
            return data.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring TextOf(HWND window)
{
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

}  // namespace

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

RunLockWatcher::RunLockWatcher()
{
    // Looked up, as Tandrel does: Wine has no private namespaces.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto createBoundary = reinterpret_cast<HANDLE(WINAPI*)(LPCWSTR, ULONG)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "CreateBoundaryDescriptorW")));
    auto addSid = reinterpret_cast<BOOL(WINAPI*)(HANDLE*, PSID)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "AddSIDToBoundaryDescriptor")));
    auto deleteBoundary = reinterpret_cast<VOID(WINAPI*)(HANDLE)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "DeleteBoundaryDescriptor")));
    auto open = reinterpret_cast<HANDLE(WINAPI*)(LPVOID, LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "OpenPrivateNamespaceW")));
    HANDLE boundary = createBoundary && addSid && deleteBoundary && open ? createBoundary(L"Tandrel", 0) : nullptr;
    if (boundary) {
        BYTE administrators[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof administrators;
        if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
            addSid(&boundary, administrators))
            space_ = open(boundary, L"Tandrel");
        deleteBoundary(boundary);
        mutex_ = space_ ? OpenMutexW(SYNCHRONIZE, FALSE, L"Tandrel\\RunLock") : nullptr;
    } else {
        mutex_ = OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Tandrel.RunLock");
    }
}

RunLockWatcher::~RunLockWatcher()
{
    if (mutex_)
        CloseHandle(mutex_);
    auto close = reinterpret_cast<BOOLEAN(WINAPI*)(HANDLE, ULONG)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "ClosePrivateNamespace")));
    if (space_ && close)
        close(space_, 0);
}

TandrelProcess::~TandrelProcess()
{
    Kill();
}

bool TandrelProcess::Start(DWORD timeoutMs)
{
    std::string commandLine = "\"" + OwnFolder() + "Tandrel.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_))
        return false;
    window_ = WaitForWindow(process_.dwProcessId, nullptr, Caption, timeoutMs);
    return window_ != nullptr && WaitIdle();
}

std::wstring TandrelProcess::LogText() const
{
    return TextOf(Control(101));
}

std::pair<DWORD, DWORD> TandrelProcess::LogSelection() const
{
    DWORD start = 0;
    DWORD end = 0;
    // The pointers are not marshalled between processes; the packed result is,
    // and is exact for logs below 65,536 characters.
    LRESULT packed = SendMessageW(Control(101), EM_GETSEL, 0, 0);
    if (packed != -1) {
        start = LOWORD(packed);
        end = HIWORD(packed);
    }
    return {start, end};
}

std::vector<ChildInfo> TandrelProcess::Children() const
{
    std::vector<ChildInfo> children;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ChildInfo info{};
        info.id = GetDlgCtrlID(child);
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        info.className = className;
        info.text = TextOf(child);
        GetWindowRect(child, &info.rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&info.rect), 2);
        info.enabled = IsWindowEnabled(child) != FALSE;
        info.visible = IsWindowVisible(child) != FALSE;
        children.push_back(info);
    }
    return children;
}

SIZE TandrelProcess::ClientSize() const
{
    RECT client{};
    GetClientRect(window_, &client);
    return {client.right - client.left, client.bottom - client.top};
}

void TandrelProcess::Click(int id) const
{
    PostMessageA(Control(id), BM_CLICK, 0, 0);
}

bool TandrelProcess::WaitIdle(DWORD timeoutMs) const
{
    // A sent message is handled only once the window's thread pumps messages
    // again: after the command, unless the command shows a modal box.
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool TandrelProcess::ClickAndWait(int id, DWORD timeoutMs) const
{
    // Sent, not posted: the click is handled, command and all, before the
    // call returns. (A posted click would come after a sent WM_NULL.)
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(Control(id), BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::optional<MessageBoxInfo> TandrelProcess::WaitMessageBox(DWORD timeoutMs) const
{
    HWND box = WaitForWindow(process_.dwProcessId, "#32770", nullptr, timeoutMs);
    if (!box)
        return std::nullopt;
    MessageBoxInfo info{};
    info.window = box;
    info.caption = TextOf(box);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Button") == 0 && IsWindowVisible(child))
            info.buttons.push_back(TextOf(child));
        else if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            info.hasQuestionIcon = SendMessageA(child, STM_GETICON, 0, 0) != 0;
        else if (lstrcmpiA(className, "Static") == 0 && GetDlgCtrlID(child) == 0xFFFF)
            info.prompt = TextOf(child);
    }
    return info;
}

void TandrelProcess::Answer(HWND box, int button)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

bool TandrelProcess::ResizeClient(int width, int height) const
{
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window_, GWL_EXSTYLE)));
    BOOL moved = SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                              SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return moved && WaitIdle();
}

bool TandrelProcess::WaitExit(DWORD timeoutMs) const
{
    return WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void TandrelProcess::Kill()
{
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    window_ = nullptr;
}

bool SaveScreenshot(HWND window, const std::wstring& path)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    bool saved = false;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        {
            Gdiplus::Bitmap image(bitmap, nullptr);
            // The PNG encoder's class identifier.
            CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
            saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

namespace {

std::string ReadWholeFile(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

}  // namespace

const char* UnseenDesktop()
{
    static const char* const made = [] () -> const char* {
        HWINSTA station = CreateWindowStationA("TandrelUnseen", 0, GENERIC_ALL, nullptr);
        HWINSTA own = GetProcessWindowStation();
        // The desktop is made in the station this process is in, for the moment.
        if (station == nullptr || !SetProcessWindowStation(station))
            return nullptr;
        HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(own);
        return desktop ? "TandrelUnseen\\Default" : nullptr;
    }();
    return made;
}

int RunAndWait(const std::string& commandLine, DWORD timeoutMs, const char* folder, std::string* output,
               const char* desktop)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string desktopName = desktop ? desktop : "";
    startup.lpDesktop = desktop ? desktopName.data() : nullptr;
    // A name of its own for each run: under Wine a console program's output file may still be held for a moment
    // after the program has ended, and could neither be replaced nor deleted.
    static int runs = 0;
    const std::string outputFile = OwnFolder() + "run-output-" + std::to_string(++runs) + ".txt";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE out = output ? CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                                      0, nullptr)
                        : INVALID_HANDLE_VALUE;
    if (out != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
    }
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE,
                                  CREATE_NO_WINDOW, nullptr, folder, &startup, &process);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (!started)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (output) {
        *output = ReadWholeFile(outputFile);
        DeleteFileA(outputFile.c_str());
    }
    return static_cast<int>(code);
}

bool ImportFixture(const std::string& name)
{
    return RunAndWait("reg.exe import \"" + OwnFolder() + "fixtures\\" + name + "\"") == 0;
}


void RemoveFixtureKeys(const std::string& name)
{
    const std::string root = "[HKEY_LOCAL_MACHINE\\";
    std::string content = ReadWholeFile(OwnFolder() + "fixtures\\" + name);
    std::size_t pos = 0;
    while ((pos = content.find(root, pos)) != std::string::npos) {
        std::size_t end = content.find(']', pos);
        std::string path = content.substr(pos + root.size(), end - pos - root.size());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
        pos = end;
    }
}

std::wstring FixtureText(const std::string& name)
{
    return Utf8FileText(OwnFolder() + "fixtures\\" + name);
}

std::wstring Utf8FileText(const std::string& path)
{
    std::string content = ReadWholeFile(path);
    int length = MultiByteToWideChar(CP_UTF8, 0, content.data(), static_cast<int>(content.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, content.data(), static_cast<int>(content.size()), text.data(), length);
    return text;
}

std::wstring Utf16FileText(const std::string& path)
{
    std::string bytes = ReadWholeFile(path);
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    return text;
}

std::string TakeBackupLine(std::wstring& log)
{
    const std::wstring marker = L"\r\nBackup: ";
    std::size_t start = log.find(marker);
    std::size_t end = start == std::wstring::npos ? start : log.find(L"\r\n", start + marker.size());
    if (end == std::wstring::npos)
        return "";
    std::wstring file = log.substr(start + marker.size(), end - start - marker.size());
    log.erase(start, end - start + 2);
    // The machine's program data, where every administrator finds it.
    wchar_t programData[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramData", programData, MAX_PATH);
    const std::wstring folder = std::wstring(programData) + L"\\Tandrel\\Backups\\Delete-";
    bool inFolder = programData[0] && file.size() > folder.size() + 4 &&
                    CompareStringOrdinal(file.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                         static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
    bool fresh = inFolder && file.substr(file.size() - 4) == L".reg";
    return fresh ? std::string(file.begin(), file.end()) : "";
}

std::vector<std::wstring> ExportMachineKeys(bool view32, bool withValues, const std::string& below)
{
    std::string file = OwnFolder() + (view32 ? "export-32.reg" : "export-64.reg");
    DeleteFileA(file.c_str());
    const std::string tree = !below.empty() ? below : UnderWine() ? "" : "Software\\Classes";
    RunAndWait("reg.exe export \"HKLM" + (tree.empty() ? "" : "\\" + tree) + "\" \"" + file + "\" /y" +
                   (view32 ? " /reg:32" : " /reg:64"),
               300000);
    std::wstring text = Utf16FileText(file);
    DeleteFileA(file.c_str());
    std::vector<std::wstring> lines;
    const std::wstring root = L"[HKEY_LOCAL_MACHINE";
    std::wstring key;
    std::wstring line;
    for (std::size_t pos = 0, end; (end = text.find(L"\r\n", pos)) != std::wstring::npos; pos = end + 2) {
        // A value continued on the next lines is one value.
        std::wstring piece = text.substr(pos, end - pos);
        line += line.empty() ? piece : piece.substr(piece.find_first_not_of(L' '));
        if (!line.empty() && line.back() == L'\\') {
            line.pop_back();
            continue;
        }
        if (line.rfind(root, 0) == 0 && line.back() == L']') {
            key = line.substr(root.size() + 1, line.size() - root.size() - 2);
            CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
            lines.push_back(key);
        } else if (withValues && !key.empty() && !line.empty()) {
            lines.push_back(key + L"\t" + line);
        }
        line.clear();
    }
    return lines;
}

RegistryViews::Setting TandrelSetting()
{
    std::string image = ReadWholeFile(OwnFolder() + "Tandrel.exe");
    // The PE header's offset is at 0x3C; its machine field follows "PE\0\0".
    std::uint32_t offset = 0;
    std::uint16_t machine = 0;
    if (image.size() >= 0x40)
        std::memcpy(&offset, image.data() + 0x3C, sizeof offset);
    if (offset + 6 <= image.size())
        std::memcpy(&machine, image.data() + offset + 4, sizeof machine);
    char folder[MAX_PATH] = {};
    return {machine == IMAGE_FILE_MACHINE_I386 ? RegistryViews::Bitness::Bits32 : RegistryViews::Bitness::Bits64,
            GetSystemWow64DirectoryA(folder, MAX_PATH) != 0};
}

bool WaitGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

void SetVestrelAppPath(DWORD type, const std::string& value)
{
    if (type == 0) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, AppPathsKey);
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, AppPathsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

}  // namespace UiAutomation
