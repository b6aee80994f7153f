#include "registry/RegLinkResolve.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "helpers/FuncLib.h"
#include "platform/RegistryPlatform.h"
#include "platform/WinCodes.h"
#include "registry/RegKeyOwner.h"

namespace {

constexpr std::wstring_view Machine = L"HKEY_LOCAL_MACHINE";
constexpr std::wstring_view KernelMachine = L"\\REGISTRY\\MACHINE";
// The registry itself gives up on a longer chain of links.
constexpr int MostLinks = 16;

// `path` is `root` or lies below it.
bool IsUnder(std::wstring_view path, std::wstring_view root)
{
    return path.size() >= root.size() &&
           Lower(std::wstring(path.substr(0, root.size()))) == Lower(std::wstring(root)) &&
           (path.size() == root.size() || path[root.size()] == L'\\');
}

}  // namespace

long RegLinkResolver::Resolve(const std::wstring& path, std::wstring& resolved)
{
    std::wstring current = path;
    for (int links = 0; links <= MostLinks; ++links) {
        resolved = current;
        if (!IsUnder(current, Machine))
            return RegError::Success;
        const std::wstring below = current.substr(std::min(current.size(), Machine.size() + 1));
        bool followed = false;
        for (std::size_t end = 0; !followed && end < below.size();) {
            end = std::min(below.find(L'\\', end + 1), below.size());
            const std::wstring prefix = below.substr(0, end);
            if (plain_.count(Lower(prefix)))
                continue;
            RegKeyOwner key;
            long code = RegistryPlatform::OpenLink64(prefix, *key.put());
            // What is not there yet is created as plain keys.
            if (code == RegError::FileNotFound)
                return RegError::Success;
            if (code != RegError::Success)
                return code;
            std::wstring target;
            code = RegistryPlatform::LinkTarget(key.get(), target);
            if (code == RegError::FileNotFound) {
                plain_.insert(Lower(prefix));
                continue;
            }
            if (code != RegError::Success)
                return code;
            while (!target.empty() && target.back() == L'\0')
                target.pop_back();
            if (IsUnder(target, KernelMachine))
                target = std::wstring(Machine) + target.substr(KernelMachine.size());
            current = target + below.substr(end);
            followed = true;
        }
        if (!followed)
            return RegError::Success;
    }
    return WinCode::CannotResolveFilename;
}
