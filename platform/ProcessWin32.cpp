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

}  // namespace

std::uint32_t StartProgram(const std::wstring& program, const std::wstring& commandLine, int showCommand)
{
    PROCESS_INFORMATION process{};
    if (!Start(program, commandLine, showCommand, process))
        return 0;
    // Nothing waits for the program: its handles close with this scope.
    UniqueKernelHandle thread(process.hThread);
    UniqueKernelHandle handle(process.hProcess);
    return process.dwProcessId;
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
