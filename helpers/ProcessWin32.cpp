#include <windows.h>

#include "helpers/AnsiText.h"
#include "helpers/ProcessPlatform.h"

namespace ProcessPlatform {

std::uint32_t StartProgram(const std::wstring& commandLine, int showCommand)
{
    std::string line = AnsiText::FromWide(commandLine);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    // No application name: the head of the command line names the program,
    // resolved as Windows resolves it, and nothing goes through a shell.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0;
    // Nothing waits for the program: its handles are not needed.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
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
