#include <windows.h>

#include "helpers/AnsiText.h"
#include "helpers/ProcessPlatform.h"
#include "helpers/Win32Handles.h"

namespace ProcessPlatform {

namespace {

bool Start(const std::wstring& commandLine, int showCommand, PROCESS_INFORMATION& process)
{
    std::string line = AnsiText::FromWide(commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    // No application name: the head of the command line names the program,
    // resolved as Windows resolves it, and nothing goes through a shell.
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
}

}  // namespace

std::uint32_t StartProgram(const std::wstring& commandLine, int showCommand)
{
    PROCESS_INFORMATION process{};
    if (!Start(commandLine, showCommand, process))
        return 0;
    // Nothing waits for the program: its handles close with this scope.
    UniqueKernelHandle thread(process.hThread);
    UniqueKernelHandle handle(process.hProcess);
    return process.dwProcessId;
}

std::optional<std::uint32_t> RunProgram(const std::wstring& commandLine, int showCommand, std::uint32_t timeoutMs)
{
    PROCESS_INFORMATION started{};
    if (!Start(commandLine, showCommand, started))
        return std::nullopt;
    UniqueKernelHandle thread(started.hThread);
    UniqueKernelHandle process(started.hProcess);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process.get(), &code))
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
