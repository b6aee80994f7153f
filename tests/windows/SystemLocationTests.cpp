#include <gtest/gtest.h>

#include <cwctype>

#include "helpers/FuncLib.h"

namespace {

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

TEST(SystemLocationsUnderWine, TheWindowsAndSystemDirectoriesEndInOneSeparator)
{
    EXPECT_EQ(Lower(WindowsDirectory()), L"c:\\windows\\");
    EXPECT_EQ(Lower(SystemDirectory()), L"c:\\windows\\system32\\");
}

}  // namespace
