#include <gtest/gtest.h>

#include "helpers/FuncLib.h"

namespace {

using namespace std::string_literals;

TEST(TrimNull, CutsAtTheFirstNulOrKeepsTheWholeText)
{
    EXPECT_EQ(TrimNull(L"abc\0def"s), L"abc");
    EXPECT_EQ(TrimNull(L"\0abc"s), L"");
    EXPECT_EQ(TrimNull(L"abc"), L"abc");
    EXPECT_EQ(TrimNull(L""), L"");
    EXPECT_EQ(TrimNull(L"name\0   "s), L"name");
}

TEST(IsBlank, EmptySpacesOnlyAndNulsOnlyAreBlank)
{
    EXPECT_TRUE(IsBlank(L""));
    EXPECT_TRUE(IsBlank(L"   "));
    EXPECT_TRUE(IsBlank(std::wstring(300, L' ')));
    EXPECT_TRUE(IsBlank(L"\0\0\0"s));
}

TEST(IsBlank, EveryOtherCharacterCounts)
{
    EXPECT_FALSE(IsBlank(L"a"));
    EXPECT_FALSE(IsBlank(L"\t"));
    EXPECT_FALSE(IsBlank(L" \0"s));
    EXPECT_FALSE(IsBlank(L" x "));
    // A name written wholly in double-byte characters is a name.
    EXPECT_FALSE(IsBlank(L"\x6F22\x5B57"));
    EXPECT_FALSE(IsBlank(L"\xE9"));
}

TEST(AddBackslash, AddsASeparatorOnlyWhenMissing)
{
    std::wstring path = L"C:\\dir";
    EXPECT_EQ(AddBackslash(path), L"C:\\dir\\");
    path = L"C:\\dir\\";
    EXPECT_EQ(AddBackslash(path), L"C:\\dir\\");
    path = L"C:/dir/";
    EXPECT_EQ(AddBackslash(path), L"C:/dir/");
}

TEST(AddBackslash, TrimsTheCallersPathButLeavesABlankOneAlone)
{
    std::wstring path = L"  C:\\dir  ";
    EXPECT_EQ(AddBackslash(path), L"C:\\dir\\");
    EXPECT_EQ(path, L"C:\\dir");

    std::wstring spaces = L"   ";
    EXPECT_EQ(AddBackslash(spaces), L"");
    EXPECT_EQ(spaces, L"   ");
    std::wstring empty;
    EXPECT_EQ(AddBackslash(empty), L"");

    // Only spaces are trimmed: a tab stays part of the path.
    std::wstring tabbed = L"\tC:\\dir";
    EXPECT_EQ(AddBackslash(tabbed), L"\tC:\\dir\\");
}

TEST(FileExtension, TakesTheTextAfterTheLastDotAnywhere)
{
    EXPECT_EQ(FileExtension(L"setup.exe", false), L"exe");
    EXPECT_EQ(FileExtension(L"setup.exe", true), L".exe");
    EXPECT_EQ(FileExtension(L".cfg", false), L"cfg");
    EXPECT_EQ(FileExtension(L"a.b.c", false), L"c");
    EXPECT_EQ(FileExtension(L"setup.d\\readme", false), L"d\\readme");
    EXPECT_EQ(FileExtension(L"Glimmet.OCX", false), L"OCX");
}

TEST(FileExtension, GivesNothingWithoutADotOrWithATrailingOne)
{
    EXPECT_EQ(FileExtension(L"setup.", false), L"");
    EXPECT_EQ(FileExtension(L"setup.", true), L"");
    EXPECT_EQ(FileExtension(L"setup", true), L"");
    EXPECT_EQ(FileExtension(L"", false), L"");
}

}  // namespace
