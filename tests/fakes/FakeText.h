#pragma once

#include <cwctype>
#include <string>

// The fakes and tests compare names without case by lowering them.
inline std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}
