#include "helpers/OutputFile.h"

#include <algorithm>

#include "helpers/CheckedFolder.h"
#include "platform/WinCodes.h"

namespace {

constexpr int StalledWritesAllowed = 3;
// WriteFile takes 32-bit sizes; pieces stay well below that.
constexpr std::size_t FilePiece = 1u << 20;

}  // namespace

std::wstring OutputFile::RefusalText(FileRefusal refusal)
{
    switch (refusal) {
    case FileRefusal::Link:
        return L"it is a symbolic link or a mount point, and Tandrel does not write through one.";
    case FileRefusal::Folder:
        return L"it is a folder.";
    case FileRefusal::NotDisk:
        return L"it is a device or a pipe, not a file on a disk.";
    case FileRefusal::HardLink:
        return L"it has other names (hard links), and Tandrel does not write through one.";
    case FileRefusal::None:
        break;
    }
    return L"";
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

bool OutputFile::Open(const std::wstring& path, std::wstring& error, bool newOnly)
{
    long code = 0;
    return Open(path, error, newOnly, code);
}

bool OutputFile::Open(const std::wstring& path, std::wstring& error, bool newOnly, long& code, bool adminsOnly)
{
    file_.reset();
    fullPath_ = path;
    if ((code = FilePlatform::FullPath(path, fullPath_)) != 0) {
        error = path + L": " + FilePlatform::ErrorText(code);
        return false;
    }
    CheckedFolder checked;
    std::wstring reason;
    FileRefusal refusal = FileRefusal::None;
    code = OpenCheckedFolder(fullPath_, checked, reason, refusal);
    FileHandle opened = FileHandle::None;
    if (code == 0 && reason.empty() && refusal == FileRefusal::None)
        code = FilePlatform::OpenForWriting(checked.folder.get(), checked.name, opened, refusal, newOnly, adminsOnly);
    if (code == 0 && reason.empty() && refusal == FileRefusal::None) {
        file_.reset(opened);
        // Named where it really is: a file that WoW64 redirected is not where its name says.
        std::wstring finalPath;
        if (FilePlatform::FinalPath(opened, finalPath) == 0 && !finalPath.empty())
            fullPath_ = finalPath;
        return true;
    }
    error = fullPath_ + L": " +
            (code != 0 ? FilePlatform::ErrorText(code) : !reason.empty() ? reason : RefusalText(refusal));
    return false;
}

long OutputFile::Write(std::string_view bytes)
{
    if (!file_)
        return WinCode::InvalidHandle;
    return WriteInFull(bytes.size(), FilePiece,
                       [this, bytes](std::size_t offset, std::size_t count, std::uint32_t& written) {
                           return FilePlatform::Write(file_.get(), bytes.data() + offset,
                                                      static_cast<std::uint32_t>(count), written);
                       });
}

long WriteInFull(std::size_t size, std::size_t piece, const PartialWrite& write)
{
    int stalled = 0;
    for (std::size_t offset = 0; offset < size;) {
        std::size_t count = std::min(piece, size - offset);
        std::uint32_t written = 0;
        if (long code = write(offset, count, written))
            return code;
        if (written == 0 && ++stalled >= StalledWritesAllowed)
            return WinCode::WriteFault;
        if (written > 0)
            stalled = 0;
        offset += std::min<std::size_t>(written, count);
    }
    return 0;
}

std::string Utf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto code = static_cast<std::uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            bool high = code >= 0xD800 && code <= 0xDBFF;
            bool lowNext = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            if (high && lowNext) {
                code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
            } else if (code >= 0xD800 && code <= 0xDFFF) {
                code = 0xFFFD;
            }
        } else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

bool OpenNewFile(OutputFile& out, const std::wstring& stem, const std::wstring& extension, std::wstring& error)
{
    constexpr int NamesTried = 99;
    for (int n = 1; n <= NamesTried; ++n) {
        long code = 0;
        if (out.Open(stem + (n > 1 ? L"-" + std::to_wstring(n) : L"") + extension, error, true, code, true)) {
            error.clear();  // an earlier name was taken: that is no failure
            return true;
        }
        if (code != WinCode::FileExists)
            return false;
    }
    return false;
}
