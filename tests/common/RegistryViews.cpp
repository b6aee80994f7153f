#include "tests/common/RegistryViews.h"

#include <algorithm>
#include <cwctype>

namespace RegistryViews {

std::vector<std::wstring> ClassKeyFolders(Setting setting, bool view32)
{
    if (!setting.prefixIs64Bit)
        return {L"software\\classes\\clsid\\"};
    if (setting.program == Bitness::Bits64)
        return view32 ? std::vector<std::wstring>{} : std::vector<std::wstring>{L"software\\classes\\clsid\\"};
    // A 32-bit program's class keys live below Wow6432Node, which the 32-bit
    // view also shows as its own Classes\CLSID.
    std::vector<std::wstring> folders{L"software\\classes\\wow6432node\\clsid\\",
                                      L"software\\wow6432node\\classes\\clsid\\"};
    if (view32)
        folders.insert(folders.begin(), L"software\\classes\\clsid\\");
    return folders;
}

std::vector<std::wstring> DeletedRoots(const std::wstring& log, Setting setting, bool view32)
{
    // Type libraries and ProgIDs are keys shared by both views, so they also
    // show (and go) below Wow6432Node, in either view.
    std::vector<std::wstring> parents{L"software\\classes\\typelib\\",
                                      L"software\\classes\\",
                                      L"software\\classes\\wow6432node\\typelib\\",
                                      L"software\\classes\\wow6432node\\",
                                      L"software\\wow6432node\\classes\\typelib\\",
                                      L"software\\wow6432node\\classes\\"};
    for (auto& folder : ClassKeyFolders(setting, view32))
        parents.push_back(std::move(folder));

    std::vector<std::wstring> roots;
    const std::wstring marker = L"\tDeleted ";
    for (std::size_t pos = 0; (pos = log.find(marker, pos)) != std::wstring::npos;) {
        std::size_t start = pos + marker.size();
        std::size_t end = log.find(L"\r\n", start);
        std::wstring name = log.substr(start, end - start);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
        for (const auto& parent : parents)
            roots.push_back(parent + name);
        pos = end;
    }
    return roots;
}

bool Under(const std::wstring& key, const std::vector<std::wstring>& roots)
{
    return std::any_of(roots.begin(), roots.end(), [&key](const std::wstring& root) {
        return key == root || key.rfind(root + L"\\", 0) == 0;
    });
}

}  // namespace RegistryViews
