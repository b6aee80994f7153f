#include "helpers/CheckedFolder.h"

#include <utility>
#include <vector>

#include "helpers/FuncLib.h"
#include "platform/SystemPlatform.h"

namespace {

constexpr std::size_t NoRoot = std::wstring::npos;

// How long the root of `path` is, its separator included: "C:\", "\\server\share\", "\\?\C:\",
// "\\?\UNC\server\share\", "\\?\Volume{...}\". NoRoot for a name that is a device or a volume itself.
std::size_t RootLength(const std::wstring& path)
{
    auto after = [&path](std::size_t from, int separators) {
        for (std::size_t i = from; i < path.size(); ++i) {
            if (path[i] == L'\\' && --separators == 0)
                return i + 1;
        }
        return NoRoot;
    };
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return 3;
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) {
        if (path.compare(4, 4, L"UNC\\") == 0)
            return after(8, 2);
        return after(4, 1);
    }
    if (path.rfind(L"\\\\", 0) == 0)
        return after(2, 2);
    return NoRoot;
}

// A folder as the system names it, for comparing: without "\\?\", "\\?\UNC\" as "\\", no closing separator, in
// lower case.
std::wstring Comparable(std::wstring path)
{
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        path = L"\\\\" + path.substr(8);
    else if ((path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) && path.size() >= 6 && path[5] == L':')
        path = path.substr(4);
    while (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    return Lower(std::move(path));
}

// A 32-bit program on 64-bit Windows reaches SysWOW64 by the name System32, and System32 by the name Sysnative:
// the system's own redirection, which is no link.
std::vector<std::pair<std::wstring, std::wstring>> Redirections()
{
    std::optional<std::wstring> system = SystemPlatform::SystemDirectory();
    std::optional<std::wstring> wow64 = SystemPlatform::Wow64SystemDirectory();
    std::optional<std::wstring> windows = SystemPlatform::WindowsDirectory();
    if (SystemPlatform::ProgramBits() != 32 || !system || !wow64 || !windows)
        return {};
    return {{*system, *wow64}, {AddBackslash(*windows) + L"Sysnative", *system}};
}

// Whether `found`, where the system resolved the folder, is where `given` names it.
bool SameFolder(const std::wstring& given, const std::wstring& found)
{
    std::wstring spelled = given;
    if (FilePlatform::LongPathName(given, spelled) != 0)
        spelled = given;
    const std::wstring target = Comparable(found);
    if (target == Comparable(given) || target == Comparable(spelled))
        return true;
    for (const auto& [from, to] : Redirections()) {
        const std::wstring start = Comparable(from);
        const std::wstring name = Comparable(spelled);
        if (name.rfind(start, 0) == 0 && (name.size() == start.size() || name[start.size()] == L'\\') &&
            target == Comparable(to) + name.substr(start.size()))
            return true;
    }
    return false;
}

}  // namespace

long OpenCheckedFolder(const std::wstring& fullPath, CheckedFolder& checked, std::wstring& reason,
                       FileRefusal& refusal)
{
    const std::size_t root = RootLength(fullPath);
    const std::size_t last = fullPath.find_last_of(L'\\');
    if (root == NoRoot || last == std::wstring::npos || last + 1 < root) {
        refusal = FileRefusal::NotDisk;
        return 0;
    }
    checked.name = fullPath.substr(last + 1);
    if (checked.name.empty()) {
        refusal = FileRefusal::Folder;
        return 0;
    }
    const std::wstring folder = fullPath.substr(0, std::max(last, root));
    // Each folder below the root, the last one included, by its reparse tag.
    for (std::size_t end = fullPath.find(L'\\', root); end != std::wstring::npos && end <= last;
         end = fullPath.find(L'\\', end + 1)) {
        const std::wstring step = fullPath.substr(0, end);
        bool isLink = false;
        std::wstring leadsTo;
        if (long code = FilePlatform::LookAtFolder(step, isLink, leadsTo))
            return code;
        if (isLink) {
            reason = L"the folder " + step + (leadsTo.empty() ? L" leads elsewhere" : L" leads to " + leadsTo) +
                     L" (a link, a junction or a mount point), and Tandrel writes only where it is named.";
            return 0;
        }
    }
    if (long code = FilePlatform::OpenFolderToWrite(folder, *checked.folder.put()))
        return code;
    const FileHandle opened = checked.folder.get();
    // Asked of the handle that the file is made in: a link anywhere on the way shows in where it resolves to.
    std::wstring found;
    if (long code = FilePlatform::FinalPath(opened, found))
        return code;
    if (!SameFolder(folder, found)) {
        checked.folder.reset();
        reason = L"the folder " + folder + L" is " + found +
                 L" as the system resolves it, and Tandrel writes only where it is named: give that path instead.";
    }
    return 0;
}
