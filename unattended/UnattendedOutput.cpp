#include "unattended/UnattendedOutput.h"

namespace {

// Older consoles refuse a single WriteConsoleW of 64 KB or more.
constexpr std::size_t ConsolePiece = 8192;

}  // namespace

UnattendedOutput::UnattendedOutput()
{
    console_ = FilePlatform::StandardOutput(consoleIsTerminal_);
}

bool UnattendedOutput::OpenLog(const std::wstring& path, std::wstring& error)
{
    return log_.Open(path, error);
}

bool UnattendedOutput::OpenNewLog(const std::wstring& stem, const std::wstring& extension, std::wstring& error)
{
    return OpenNewFile(log_, stem, extension, error);
}

long UnattendedOutput::WriteConsole(const std::wstring& text)
{
    if (!consoleIsTerminal_) {
        std::string bytes = Utf8(text);
        return WriteInFull(bytes.size(), ConsolePiece, [this, &bytes](std::size_t offset, std::size_t count,
                                                                       std::uint32_t& written) {
            return FilePlatform::Write(console_, bytes.data() + offset, static_cast<std::uint32_t>(count), written);
        });
    }
    return WriteInFull(text.size(), ConsolePiece, [this, &text](std::size_t offset, std::size_t count,
                                                                 std::uint32_t& written) {
        // A piece never ends between the two halves of a surrogate pair.
        if (count > 1 && offset + count < text.size() && text[offset + count - 1] >= 0xD800 &&
            text[offset + count - 1] <= 0xDBFF)
            --count;
        return FilePlatform::WriteConsoleText(console_, text.data() + offset, static_cast<std::uint32_t>(count),
                                              written);
    });
}

void UnattendedOutput::Write(const std::wstring& text)
{
    if (console_ != FileHandle::None && !consoleFailed_) {
        if (long code = WriteConsole(text)) {
            consoleFailed_ = true;
            if (log_.IsOpen() && !logFailed_ &&
                log_.Write(Utf8(L"ERROR: Writing to the console: " + FilePlatform::ErrorText(code) + L"\r\n")) != 0)
                logFailed_ = true;
        }
    }
    WriteLog(text);
}

void UnattendedOutput::WriteConsoleOnly(const std::wstring& text)
{
    if (console_ != FileHandle::None && !consoleFailed_ && WriteConsole(text) != 0)
        consoleFailed_ = true;
}

void UnattendedOutput::WriteLog(const std::wstring& text)
{
    if (!log_.IsOpen() || logFailed_)
        return;
    // The report follows the entry that could not be written in full.
    if (long code = log_.Write(Utf8(text))) {
        logFailed_ = true;
        if (console_ != FileHandle::None && !consoleFailed_)
            (void)WriteConsole(L"ERROR: Writing the log file " + log_.FullPath() + L": " +
                               FilePlatform::ErrorText(code) + L"\r\n");
    }
}
