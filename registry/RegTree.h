#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegTypes.h"

// One key of a tree, named by its full path as the 64-bit view names it:
// "HKEY_LOCAL_MACHINE\SOFTWARE\Classes\Wow6432Node\CLSID\{...}" for a 32-bit
// class key on 64-bit Windows. A registry link is kept as a link: it has a
// target and no values.
struct RegKeyData {
    std::wstring path;
    std::vector<RegValueData> values;
    std::wstring linkTarget;  // "" unless the key is a registry link
    bool operator==(const RegKeyData&) const = default;
};
