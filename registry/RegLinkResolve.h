#pragma once

#include <set>
#include <string>

// Where the registry would put a key named by the 64-bit view's path
// ("HKEY_LOCAL_MACHINE\..."): every registry link already on its way is
// followed, as creating the key follows it. Keys found to be no link are
// asked about once.
class RegLinkResolver {
public:
    // 0 with `resolved`; or the code of a key on the way that could not be
    // looked at. A link to another root gives its target as it is written.
    [[nodiscard]] long Resolve(const std::wstring& path, std::wstring& resolved);

private:
    std::set<std::wstring> plain_;  // lower-cased paths below the root
};
