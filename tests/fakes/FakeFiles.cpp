#include "tests/fakes/FakeFiles.h"

#include <algorithm>
#include <string_view>

#include "helpers/FuncLib.h"
#include "tests/fakes/FakeDisk.h"
#include "tests/fakes/FakeText.h"

namespace {

const Account Administrators{L"S-1-5-32-544", L"BUILTIN\\Administrators"};

// The name a file of the fixture is kept by: doubled separators as one (a server's leading pair stays), and a
// short name at the start as its long one.
std::wstring LongPath(const std::wstring& path)
{
    std::wstring single = path.substr(0, 2);
    for (std::size_t i = single.size(); i < path.size(); ++i) {
        if (path[i] != L'\\' || single.back() != L'\\')
            single += path[i];
    }
    for (const auto& [shortPath, longPath] : FakeFiles::Instance().shortNames) {
        std::size_t length = shortPath.size();
        if (single.size() >= length && EqualsIgnoringCase(single.substr(0, length), shortPath) &&
            (single.size() == length || single[length] == L'\\'))
            return longPath + single.substr(length);
    }
    return single;
}

// 0 for a file of the fixture. A folder is there while a file is in it: a file missing from one that is not gives
// ERROR_PATH_NOT_FOUND, as the system does, and ERROR_FILE_NOT_FOUND otherwise.
long Absent(const std::wstring& path)
{
    if (FakeDisk::Instance().Has(path))
        return 0;
    const std::wstring folder = Lower(path.substr(0, path.find_last_of(L'\\') + 1));
    for (const auto& [file, bytes] : FakeDisk::Instance().files) {
        if (Lower(file).starts_with(folder))
            return 2;
    }
    return 3;
}

// A handle that no open file has, for `path`.
std::uintptr_t NewHandle(const std::wstring& path)
{
    auto& files = FakeFiles::Instance();
    std::uintptr_t handle = 0x100 + files.open.size() + files.contents.size();
    while (files.open.count(handle))
        ++handle;
    files.open[handle] = path;
    return handle;
}

}  // namespace

FakeFiles& FakeFiles::Instance()
{
    static FakeFiles files;
    return files;
}

namespace FilePlatform {

long FullPath(const std::wstring& path, std::wstring& fullPath)
{
    fullPath = path.find(L':') == std::wstring::npos ? FakeFiles::Instance().currentFolder + path : path;
    return 0;
}

long OpenFolderToWrite(const std::wstring& path, FileHandle& folder)
{
    auto& files = FakeFiles::Instance();
    if (files.openErrors.count(path))
        return files.openErrors[path];
    std::uintptr_t handle = NewHandle(path);
    folder = static_cast<FileHandle>(handle);
    return 0;
}

long LookAtFolder(const std::wstring& path, bool& isLink, std::wstring& leadsTo)
{
    auto& files = FakeFiles::Instance();
    isLink = files.folderLinks.count(path) != 0;
    leadsTo = isLink ? files.folderLinks[path] : L"";
    return files.openErrors.count(path) ? files.openErrors[path] : 0;
}

long LongPathName(const std::wstring& path, std::wstring& longPath)
{
    longPath = LongPath(path);
    return 0;
}

long OpenForWriting(FileHandle folder, const std::wstring& name, FileHandle& file, FileRefusal& refusal, bool newOnly,
                    bool adminsOnly)
{
    auto& files = FakeFiles::Instance();
    std::wstring path;
    if (long code = FinalPath(folder, path))
        return code;
    path += (path.back() == L'\\' ? L"" : L"\\") + name;
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    if (refusal != FileRefusal::None || files.openErrors.count(path))
        return refusal != FileRefusal::None ? 0 : files.openErrors[path];
    if (newOnly && files.contents.count(path))
        return 80;  // ERROR_FILE_EXISTS
    // A file made without a descriptor of its own gets what its folder passes on.
    const std::wstring folderPath = path.substr(0, path.find_last_of(L'\\'));
    if (adminsOnly)
        files.access[path] = {Administrators, {Administrators, {L"S-1-5-18", L"NT AUTHORITY\\SYSTEM"}}};
    else if (!files.contents.count(path) && files.access.count(folderPath))
        files.access[path] = files.access[folderPath];
    files.contents[path].clear();
    std::uintptr_t handle = NewHandle(path);
    file = static_cast<FileHandle>(handle);
    return 0;
}

long LookAtName(const std::wstring& path, FileRefusal& refusal)
{
    auto& files = FakeFiles::Instance();
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    if (refusal != FileRefusal::None || files.openErrors.count(path))
        return refusal != FileRefusal::None ? 0 : files.openErrors[path];
    return files.contents.count(path) || FakeDisk::Instance().Has(path) ? 0 : 2;  // ERROR_FILE_NOT_FOUND
}

long Write(FileHandle file, const char* data, std::uint32_t size, std::uint32_t& written)
{
    auto& files = FakeFiles::Instance();
    std::string& content = files.contents[files.open.at(static_cast<std::uintptr_t>(file))];
    if (!files.failWriteWith.empty() && std::string_view(data, size).find(files.failWriteWith) != std::string_view::npos) {
        written = 0;
        return 112;  // ERROR_DISK_FULL
    }
    std::size_t room = files.failAfter > content.size() ? files.failAfter - content.size() : 0;
    written = static_cast<std::uint32_t>(std::min<std::size_t>({size, files.maxWrite, room}));
    content.append(data, written);
    return room == 0 ? 112 : 0;  // ERROR_DISK_FULL
}

long Flush(FileHandle)
{
    ++FakeFiles::Instance().flushes;
    return 0;
}

long CreateFolder(const std::wstring& path, FileRefusal& refusal)
{
    auto& files = FakeFiles::Instance();
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    if (files.openErrors.count(path))
        return files.openErrors[path];
    files.folders[path] = true;
    if (!files.access.count(path))
        files.access[path] = {Administrators, {Administrators}};
    return 0;
}

long ReadFolderAccess(const std::wstring& path, FileAccess& access)
{
    auto& files = FakeFiles::Instance();
    // A file without access of its own was written by an administrator, and the fixture's folders made by one.
    // A folder is there while a file is in it; one whose parent is not there either gives ERROR_PATH_NOT_FOUND.
    if (!files.access.count(path) && !files.contents.count(path) && Absent(path + L"\\x") == 3)
        return Absent(path) == 3 ? 3 : 2;
    access = files.access.count(path) ? files.access[path] : FileAccess{Administrators, {Administrators}};
    return 0;
}

long RemoveFile(FileHandle folder, const std::wstring& name, FileRefusal& refusal)
{
    auto& files = FakeFiles::Instance();
    const std::wstring path = files.open.at(static_cast<std::uintptr_t>(folder)) + L"\\" + name;
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    if (refusal != FileRefusal::None)
        return 0;
    if (files.removeErrors.count(path))
        return files.removeErrors[path];
    if (!files.contents.erase(path))
        return 2;
    files.removed.push_back(path);
    return 0;
}

long ListFiles(const std::wstring& folder, std::vector<std::wstring>& names)
{
    names.clear();
    const std::wstring prefix = folder + L"\\";
    for (const auto& [path, content] : FakeFiles::Instance().contents) {
        if (path.starts_with(prefix) && path.find(L'\\', prefix.size()) == std::wstring::npos)
            names.push_back(path.substr(prefix.size()));
    }
    return 0;
}

long ProtectFolder(const std::wstring& path)
{
    auto& files = FakeFiles::Instance();
    if (files.locked.count(path))
        return files.locked[path];
    files.access[path].writers = {Administrators, {L"S-1-5-18", L"NT AUTHORITY\\SYSTEM"}};
    return 0;
}

long FinalPath(FileHandle file, std::wstring& path)
{
    auto& files = FakeFiles::Instance();
    path = files.open.at(static_cast<std::uintptr_t>(file));
    if (files.finalPaths.count(path))
        path = files.finalPaths[path];
    return 0;
}

// What a read of `path` finds: a file written in the run, or one on the disk by any of its names; null with the
// code or refusal that stops it.
const std::string* HeldFile(const std::wstring& path, FileRefusal& refusal, long& code)
{
    auto& files = FakeFiles::Instance();
    refusal = files.refusals.count(path) ? files.refusals[path] : FileRefusal::None;
    const auto& disk = FakeDisk::Instance().files;
    auto image = std::find_if(disk.begin(), disk.end(), [&path](const auto& file) {
        return EqualsIgnoringCase(LongPath(file.first), LongPath(path));
    });
    bool held = files.contents.count(path) || image != disk.end();
    code = refusal != FileRefusal::None ? 0 : files.openErrors.count(path) ? files.openErrors[path] : held ? 0 : 2;
    if (refusal != FileRefusal::None || code != 0)
        return nullptr;
    return files.contents.count(path) ? &files.contents[path] : &image->second;
}

long ReadDiskFile(const std::wstring& path, std::string& bytes, FileRefusal& refusal, std::size_t limit,
                  FileAccess* access)
{
    long code = 0;
    const std::string* held = HeldFile(path, refusal, code);
    if (!held)
        return code;
    if (access)
        *access = FakeFiles::Instance().access.count(path) ? FakeFiles::Instance().access[path]
                                                           : FileAccess{Administrators, {Administrators}};
    bytes = *held;
    return bytes.size() > limit ? 223 : 0;  // ERROR_FILE_TOO_LARGE
}

long OpenToRead(const std::wstring& path, FileHandle& file, std::uint64_t& size, FileRefusal& refusal)
{
    long code = 0;
    const std::string* held = HeldFile(path, refusal, code);
    if (!held)
        return code;
    auto& files = FakeFiles::Instance();
    std::uintptr_t handle = NewHandle(path);
    files.reading[handle] = held;
    size = held->size();
    file = static_cast<FileHandle>(handle);
    return 0;
}

long ReadAt(FileHandle file, std::uint64_t offset, std::uint32_t length, std::string& bytes)
{
    const std::string& held = *FakeFiles::Instance().reading.at(static_cast<std::uintptr_t>(file));
    bytes = offset < held.size() ? held.substr(offset, length) : "";
    return 0;
}

bool Close(FileHandle file)
{
    FakeFiles::Instance().reading.erase(static_cast<std::uintptr_t>(file));
    return FakeFiles::Instance().open.erase(static_cast<std::uintptr_t>(file)) == 1;
}

// The fake's console is always a real one, which takes text.
FileHandle StandardOutput(bool& isConsole)
{
    isConsole = true;
    return FakeFiles::Instance().hasConsole ? static_cast<FileHandle>(7) : FileHandle::None;
}

long WriteConsoleText(FileHandle, const wchar_t* text, std::uint32_t count, std::uint32_t& written)
{
    auto& files = FakeFiles::Instance();
    written = std::min(count, files.maxConsoleWrite);
    files.console.append(text, written);
    return 0;
}

long SameFile(const std::wstring& a, const std::wstring& b, bool& same)
{
    same = false;
    std::wstring first = LongPath(a);
    std::wstring second = LongPath(b);
    for (const std::wstring* path : {&first, &second}) {
        if (long code = Absent(*path))
            return code;
    }
    same = Lower(first) == Lower(second);
    return 0;
}

long LookForFile(const std::wstring& path)
{
    return Absent(LongPath(path));
}

std::wstring ErrorText(long code)
{
    return code == 112 ? L"There is not enough space on the disk." : L"Windows error " + std::to_wstring(code) + L".";
}

}  // namespace FilePlatform
