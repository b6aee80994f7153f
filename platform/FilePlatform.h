#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Sentence.h"

// A file or console handle without windows.h.
enum class FileHandle : std::uintptr_t { None = 0 };

// What is found at a name that the program is asked to write to, and is not
// written: writing through a link or to a device would put the bytes
// somewhere other than the name says, with the rights of an elevated program.
// A file with more than one name is refused too: its other names may be
// anywhere on the volume, and writing it writes every one of them.
enum class FileRefusal { None, Link, Folder, NotDisk, HardLink };

// An account as a SID ("S-1-5-32-544") and, for the log, its name.
struct Account {
    std::wstring sid;
    std::wstring name;
};

// Who owns a file or folder, and every account that an allowing entry of its
// list gives a right to change it or what it holds (a null list: Everyone).
struct FileAccess {
    Account owner;
    std::vector<Account> writers;
};

// Files that the program writes and the console it writes to. The Windows
// build links the Win32 adapter, the host build an in-memory stand-in.
// Results are Windows codes: 0 for success.
namespace FilePlatform {

// GetFullPathNameW: `path` resolved against the current folder.
[[nodiscard]] long FullPath(const std::wstring& path, std::wstring& fullPath);

// Opens the folder `path` itself to create files in, never what a link at its name leads to. The handle is what
// files are then made relative to, so that a folder swapped for a link after it was looked at is not followed.
[[nodiscard]] long OpenFolderToWrite(const std::wstring& path, FileHandle& folder);

// Whether the folder `path` is a symbolic link, a junction or a mount point, by its reparse tag; `leadsTo` is then
// where it resolves to ("" when that cannot be read). ERROR_DIRECTORY when it is a file, ERROR_PATH_NOT_FOUND
// when nothing is there.
[[nodiscard]] long LookAtFolder(const std::wstring& path, bool& isLink, std::wstring& leadsTo);

// GetLongPathNameW: `path` with its short names spelled out.
[[nodiscard]] long LongPathName(const std::wstring& path, std::wstring& longPath);

// Opens `name` in the open `folder` for writing and empties it, creating it when it is not there; with
// `newOnly`, only creates it (ERROR_FILE_EXISTS when anything is there), and with `adminsOnly` gives what it
// creates a protected descriptor of its own: owner Administrators, full control for Administrators and SYSTEM.
// A link at the name is looked at as the link, never followed; when `refusal` comes back set, nothing was
// changed. The file is opened for writing once, after a look that touches no data, so that a placeholder or a
// deduplicated file opens as itself without a sharing violation.
[[nodiscard]] long OpenForWriting(FileHandle folder, const std::wstring& name, FileHandle& file, FileRefusal& refusal,
                                  bool newOnly, bool adminsOnly);

// What is at `path`, looked at without reading or writing it: 0 for something
// there, with `refusal` set when it is no plain file on a disk (a link at the
// name itself is not followed); ERROR_FILE_NOT_FOUND when the name is free;
// ERROR_PATH_NOT_FOUND when a folder on the way is missing.
[[nodiscard]] long LookAtName(const std::wstring& path, FileRefusal& refusal);

// FlushFileBuffers: what was written is on the disk when this returns.
[[nodiscard]] long Flush(FileHandle file);

// GetFinalPathNameByHandleW: where the open file is, as the file system
// resolved its name (WoW64's redirection included), without "\\?\".
[[nodiscard]] long FinalPath(FileHandle file, std::wstring& path);

// Creates the folder `path` when it is not there, with a protected descriptor
// that gives Administrators and SYSTEM full control and nobody else anything;
// an existing folder is left as it is. A link is refused as for a file.
[[nodiscard]] long CreateFolder(const std::wstring& path, FileRefusal& refusal);

// Reads the access of the file or folder `path` itself, never through a link.
[[nodiscard]] long ReadFolderAccess(const std::wstring& path, FileAccess& access);

// Gives an existing folder the descriptor that CreateFolder gives a new one;
// what it holds keeps its own.
[[nodiscard]] long ProtectFolder(const std::wstring& path);

// Removes the file `name` in the open `folder`: the name itself, opened without following a link. A link, a
// folder or a device at the name is left as it is, with `refusal` set.
[[nodiscard]] long RemoveFile(FileHandle folder, const std::wstring& name, FileRefusal& refusal);

// The names of the files (not folders) in `folder`.
[[nodiscard]] long ListFiles(const std::wstring& folder, std::vector<std::wstring>& names);

// The whole of a plain file on a disk, at most `limit` bytes (ERROR_FILE_TOO_LARGE beyond); with `access`,
// also who owns and may change the file that was read, as its open handle says.
[[nodiscard]] long ReadDiskFile(const std::wstring& path, std::string& bytes, FileRefusal& refusal,
                                std::size_t limit, FileAccess* access = nullptr);

// Opens a plain file on a disk to read parts of it, as ReadDiskFile opens it; `size` is its length.
[[nodiscard]] long OpenToRead(const std::wstring& path, FileHandle& file, std::uint64_t& size, FileRefusal& refusal);

// ReadFile of at most `length` bytes from `offset`: `bytes` falls short only at the end of the file.
[[nodiscard]] long ReadAt(FileHandle file, std::uint64_t offset, std::uint32_t length, std::string& bytes);

// WriteFile. `written` is what the call reports, which may fall short.
[[nodiscard]] long Write(FileHandle file, const char* data, std::uint32_t size, std::uint32_t& written);

// CloseHandle; the console's handle is not ours and is never closed.
bool Close(FileHandle file);

// The console of whoever started the program, or the file or pipe that its
// standard output is redirected to; FileHandle::None when there is neither.
// `isConsole` for a console, which takes text and not bytes.
[[nodiscard]] FileHandle StandardOutput(bool& isConsole);

// WriteConsoleW of `count` characters; `written` may fall short.
[[nodiscard]] long WriteConsoleText(FileHandle console, const wchar_t* text, std::uint32_t count,
                                    std::uint32_t& written);

// Whether `a` and `b` are one existing file, by volume and file index: 0 with `same` set, or the first failure's code.
[[nodiscard]] long SameFile(const std::wstring& a, const std::wstring& b, bool& same);

// GetFileAttributesW: 0 when a file, not a folder, is at `path`; otherwise the
// system's code, ERROR_FILE_NOT_FOUND for a folder.
[[nodiscard]] long LookForFile(const std::wstring& path);

// The system's text for a Windows code as one sentence, ending in a full stop.
[[nodiscard]] std::wstring ErrorText(long code);

}  // namespace FilePlatform
