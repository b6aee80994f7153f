#include <windows.h>

#include "platform/AnsiText.h"
#include "platform/ProcessPlatform.h"
#include "platform/Win32Handles.h"

namespace ProcessPlatform {

namespace {

bool Start(const std::wstring& program, const std::wstring& commandLine, int showCommand,
           PROCESS_INFORMATION& process)
{
    std::string application = AnsiText::FromWide(program);
    std::string line = AnsiText::FromWide(commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    // With the application name given, Windows starts that file and no other:
    // the head of the command line is not looked for anywhere.
    return CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process);
}

// Waits for `process`, answering what other threads send to this one's
// windows meanwhile: a server that broadcasts to every top-level window would
// otherwise stall until its own time-out. Posted messages (input among them)
// stay queued, so no second command can start.
bool WaitAnswering(HANDLE process, std::uint32_t timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

HANDLE Held(ProcessHandle process)
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(process));
}

struct CloseSearch {
    DWORD id;
    int windows;
};

BOOL CALLBACK PostCloseIfOwned(HWND window, LPARAM found)
{
    auto& search = *reinterpret_cast<CloseSearch*>(found);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.id) {
        ++search.windows;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

}  // namespace

void CloseProcess(ProcessHandle process)
{
    CloseHandle(Held(process));
}

std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand,
                           OwnedProcess& process)
{
    PROCESS_INFORMATION started{};
    if (!Start(program, commandLine, showCommand, started))
        return 0;
    UniqueKernelHandle thread(started.hThread);
    process.reset(static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(started.hProcess)));
    return started.dwProcessId;
}

long OpenProgram(std::uint32_t id, OwnedProcess& process, std::wstring& path)
{
    UniqueKernelHandle opened(
        OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!opened)
        return static_cast<long>(GetLastError());
    std::wstring name(32768, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    if (!QueryFullProcessImageNameW(opened.get(), 0, name.data(), &length))
        return static_cast<long>(GetLastError());
    path = name.substr(0, length);
    process.reset(static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(opened.release())));
    return 0;
}

bool WaitForEnd(ProcessHandle process, std::uint32_t timeoutMs)
{
    return WaitAnswering(Held(process), timeoutMs);
}

int PostClose(std::uint32_t id)
{
    CloseSearch search{id, 0};
    EnumWindows(&PostCloseIfOwned, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

long EndProgram(ProcessHandle process)
{
    return TerminateProcess(Held(process), 1) ? 0 : static_cast<long>(GetLastError());
}

std::optional<std::uint32_t> RunProgram(const std::wstring& program, const std::wstring& commandLine,
                                        int showCommand, std::uint32_t timeoutMs)
{
    PROCESS_INFORMATION started{};
    if (!Start(program, commandLine, showCommand, started))
        return std::nullopt;
    UniqueKernelHandle thread(started.hThread);
    UniqueKernelHandle process(started.hProcess);
    DWORD code = 0;
    if (WaitAnswering(process.get(), timeoutMs) && GetExitCodeProcess(process.get(), &code))
        return code;
    return std::nullopt;
}

std::wstring FindFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesA(AnsiText::FromWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
        return L"";
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

}  // namespace ProcessPlatform
