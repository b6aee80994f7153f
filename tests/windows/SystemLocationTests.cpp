#include <gtest/gtest.h>

#include "helpers/FuncLib.h"
#include "tests/fakes/FakeText.h"

namespace {

TEST(SystemLocationsUnderWine, TheWindowsAndSystemDirectoriesEndInOneSeparator)
{
    EXPECT_EQ(Lower(WindowsDirectory()), L"c:\\windows\\");
    EXPECT_EQ(Lower(SystemDirectory()), L"c:\\windows\\system32\\");
}

}  // namespace
