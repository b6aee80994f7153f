#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/FilePlatform.h"
#include "platform/UniqueHandle.h"

// A file that the program writes while it runs elevated: a log now, later a
// backup. It is never written through a link or to a device, and every write
// is checked.
class OutputFile {
public:
    // Resolves `path` against the current folder, then creates or replaces the
    // file, in that folder only and when no folder on the way leads elsewhere;
    // with `newOnly` it only creates one, and with `adminsOnly` one that only
    // Administrators and SYSTEM may change. On failure `error` names the
    // full path and says why, and `code` is the system's code (0 for a refusal).
    [[nodiscard]] bool Open(const std::wstring& path, std::wstring& error, bool newOnly = false);
    [[nodiscard]] bool Open(const std::wstring& path, std::wstring& error, bool newOnly, long& code,
                            bool adminsOnly = false);
    [[nodiscard]] bool IsOpen() const { return static_cast<bool>(file_); }
    // The full path; once open, the one the file system resolved.
    [[nodiscard]] const std::wstring& FullPath() const { return fullPath_; }

    // Writes all of `bytes`; 0, or the Windows code of the failure.
    [[nodiscard]] long Write(std::string_view bytes);
    // Puts what was written on the disk, for a file that must survive a crash.
    [[nodiscard]] long Flush() { return file_ ? FilePlatform::Flush(file_.get()) : 6; }

    // "it is a folder." and the like, for what was found at a name.
    [[nodiscard]] static std::wstring RefusalText(FileRefusal refusal);

private:
    UniqueHandle<FileHandle, &FilePlatform::Close> file_;
    std::wstring fullPath_;
};

// A new file, `stem` + `extension` or, when that is taken, stem-2, stem-3 ... up to stem-99: what Tandrel makes of
// its own never replaces anything. Its own permissions let nobody but administrators change it, wherever it lands,
// so that a restore can tell it from a file someone else wrote.
[[nodiscard]] bool OpenNewFile(OutputFile& out, const std::wstring& stem, const std::wstring& extension,
                               std::wstring& error);

// One call of a write that may take less than it was offered: it reports how
// much it took, or returns a Windows code.
using PartialWrite = std::function<long(std::size_t offset, std::size_t count, std::uint32_t& written)>;

// Offers `size` units in pieces of at most `piece`, and the rest again after a
// short write. A write that takes nothing several times running is a failure
// (ERROR_WRITE_FAULT), so that a stuck handle cannot hang the program.
[[nodiscard]] long WriteInFull(std::size_t size, std::size_t piece, const PartialWrite& write);

// The text in UTF-8; a lone half of a surrogate pair becomes U+FFFD.
[[nodiscard]] std::string Utf8(std::wstring_view text);
