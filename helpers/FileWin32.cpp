#include <windows.h>

#include "helpers/FilePlatform.h"

namespace {

HANDLE ToHandle(FileHandle file)
{
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file));
}

FileHandle FromHandle(HANDLE handle)
{
    return static_cast<FileHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

FileRefusal RefusalOf(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FileRefusal::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileRefusal::Folder;
    return FileRefusal::None;
}

// Asked by name first as well: some systems show a link to a folder only
// there, and a folder would otherwise fail to open as "access denied".
FileRefusal RefusalByName(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? FileRefusal::None : RefusalOf(attributes);
}

// Opens `path` without following a link at its end, and keeps it only when it
// is a plain file on a disk; otherwise `refusal` says what it is.
HANDLE OpenDiskFile(const std::wstring& path, DWORD access, DWORD disposition, FileRefusal& refusal, DWORD& code)
{
    refusal = RefusalByName(path);
    code = ERROR_SUCCESS;
    if (refusal != FileRefusal::None)
        return INVALID_HANDLE_VALUE;
    HANDLE opened = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        code = GetLastError();
        return opened;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(opened) != FILE_TYPE_DISK || !GetFileInformationByHandle(opened, &information))
        refusal = FileRefusal::NotDisk;
    else
        refusal = RefusalOf(information.dwFileAttributes);
    if (refusal == FileRefusal::None)
        return opened;
    CloseHandle(opened);
    return INVALID_HANDLE_VALUE;
}

// Opened only to read attributes and shared fully, a file that a running program holds open can still be told.
DWORD FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& information)
{
    constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE opened = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD code = GetFileInformationByHandle(opened, &information) ? ERROR_SUCCESS : GetLastError();
    CloseHandle(opened);
    return code;
}

}  // namespace

namespace FilePlatform {

long FullPath(const std::wstring& path, std::wstring& fullPath)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0)
            return static_cast<long>(GetLastError());
        if (length < buffer.size()) {
            fullPath.assign(buffer.data(), length);
            return ERROR_SUCCESS;
        }
        buffer.assign(length, L'\0');
    }
    return ERROR_FILENAME_EXCED_RANGE;
}

long OpenForWriting(const std::wstring& path, FileHandle& file, FileRefusal& refusal, bool newOnly)
{
    // Opened, not created anew: nothing is emptied before it has been looked at.
    DWORD code = ERROR_SUCCESS;
    HANDLE opened = OpenDiskFile(path, GENERIC_WRITE, newOnly ? CREATE_NEW : OPEN_ALWAYS, refusal, code);
    if (opened == INVALID_HANDLE_VALUE)
        return static_cast<long>(code);
    if (!SetEndOfFile(opened)) {
        code = GetLastError();
        CloseHandle(opened);
        return static_cast<long>(code);
    }
    file = FromHandle(opened);
    return ERROR_SUCCESS;
}

long Write(FileHandle file, const char* data, std::uint32_t size, std::uint32_t& written)
{
    DWORD count = 0;
    BOOL ok = WriteFile(ToHandle(file), data, size, &count, nullptr);
    written = count;
    return ok ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long Flush(FileHandle file)
{
    return FlushFileBuffers(ToHandle(file)) ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long CreateFolder(const std::wstring& path, FileRefusal& refusal)
{
    refusal = FileRefusal::None;
    if (CreateDirectoryW(path.c_str(), nullptr))
        return ERROR_SUCCESS;
    DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS)
        return static_cast<long>(code);
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        refusal = FileRefusal::Link;
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ALREADY_EXISTS;
    return ERROR_SUCCESS;
}

long ReadDiskFile(const std::wstring& path, std::string& bytes, FileRefusal& refusal, std::size_t limit)
{
    DWORD code = ERROR_SUCCESS;
    HANDLE opened = OpenDiskFile(path, GENERIC_READ, OPEN_EXISTING, refusal, code);
    if (opened == INVALID_HANDLE_VALUE)
        return static_cast<long>(code);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(opened, &size) || static_cast<unsigned long long>(size.QuadPart) > limit) {
        code = size.QuadPart > 0 ? ERROR_FILE_TOO_LARGE : GetLastError();
        CloseHandle(opened);
        return static_cast<long>(code);
    }
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    BOOL ok = bytes.empty() || ReadFile(opened, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    code = ok ? (read == bytes.size() ? ERROR_SUCCESS : ERROR_HANDLE_EOF) : GetLastError();
    CloseHandle(opened);
    return static_cast<long>(code);
}

bool Close(FileHandle file)
{
    return CloseHandle(ToHandle(file)) != FALSE;
}

FileHandle StandardOutput(bool& isConsole)
{
    // A window program has no console of its own: borrow the caller's, if any.
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        return FileHandle::None;
    DWORD mode = 0;
    isConsole = GetConsoleMode(output, &mode) != FALSE;
    return FromHandle(output);
}

long WriteConsoleText(FileHandle console, const wchar_t* text, std::uint32_t count, std::uint32_t& written)
{
    DWORD done = 0;
    BOOL ok = WriteConsoleW(ToHandle(console), text, count, &done, nullptr);
    written = done;
    return ok ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long SameFile(const std::wstring& a, const std::wstring& b, bool& same)
{
    same = false;
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    DWORD code = FileIdentity(a, first);
    if (code == ERROR_SUCCESS)
        code = FileIdentity(b, second);
    if (code != ERROR_SUCCESS)
        return static_cast<long>(code);
    same = first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
    return ERROR_SUCCESS;
}

std::wstring ErrorText(long code)
{
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message.empty() ? L"Windows error " + std::to_wstring(code) : message;
}

}  // namespace FilePlatform
