#include "console/UnattendedWin32.h"

#include <shellapi.h>

namespace {

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    return bytes;
}

void WriteAll(HANDLE handle, const std::string& bytes)
{
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

std::vector<std::wstring> ProgramArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(words[i]);
    LocalFree(words);
    return arguments;
}

UnattendedOutput::UnattendedOutput()
{
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        console_ = output;
        DWORD mode = 0;
        consoleIsTerminal_ = GetConsoleMode(output, &mode) != 0;
    }
}

bool UnattendedOutput::OpenLog(const std::wstring& path)
{
    log_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(log_);
}

void UnattendedOutput::Write(const std::wstring& text)
{
    // Written at once, unbuffered: the file is whole up to the last entry
    // even when the run is cut short.
    if (log_)
        WriteAll(log_.get(), Utf8(text));
    if (console_ == nullptr)
        return;
    if (consoleIsTerminal_) {
        DWORD written = 0;
        WriteConsoleW(console_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        WriteAll(console_, Utf8(text));
    }
}
