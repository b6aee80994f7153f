#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "helpers/FuncLib.h"
#include "helpers/OutputFile.h"
#include "platform/GrowBuffer.h"
#include "platform/Sentence.h"
#include "platform/UniqueHandle.h"

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

TEST(Sentence, EndsInOneFullStopWhateverTheSystemsMessageBrought)
{
    EXPECT_EQ(Sentence(L"Access is denied.\r\n"), L"Access is denied.");
    EXPECT_EQ(Sentence(L"Windows error 1921"), L"Windows error 1921.");
    EXPECT_EQ(Sentence(L""), L"");
    EXPECT_EQ(WithoutFinalStop(L"Access is denied. \r\n"), L"Access is denied");
    EXPECT_EQ(WithoutFinalStop(L"Windows error 5"), L"Windows error 5");
    EXPECT_EQ(JoinSentences(L"cannot be followed: Windows error 1921", L"Nothing was written."),
              L"cannot be followed: Windows error 1921. Nothing was written.");
    EXPECT_EQ(JoinSentences(L"cannot be taken: Access is denied.\r\n", L"Nothing was done"),
              L"cannot be taken: Access is denied. Nothing was done.");
}

TEST(GrowUntilFits, AsksAgainAtTheSizeNeededAndGivesUpOnACountThatNeverSettles)
{
    std::string buffer(4, '\0');
    std::vector<std::size_t> offered;
    EXPECT_TRUE(GrowUntilFits(buffer, 3, [&](std::string& tried) -> std::size_t {
        offered.push_back(tried.size());
        return tried.size() < 10 ? tried.size() + 3 : 0;
    }));
    EXPECT_EQ(offered, (std::vector<std::size_t>{4, 7, 10}));
    EXPECT_FALSE(GrowUntilFits(buffer, 3, [](std::string& tried) -> std::size_t { return tried.size() + 1; }));
    EXPECT_EQ(buffer.size(), 13u);
    std::uint32_t calls = 0;
    EXPECT_EQ(FillAnsiBuffer([&](char* data, std::uint32_t size) -> std::uint32_t {
                  ++calls;
                  if (size < 6)
                      return 6;
                  std::copy_n("C:\\W\0", 5, data);
                  return 4;
              }, 2),
              std::optional<std::string>("C:\\W"));
    EXPECT_EQ(calls, 2u);
}

TEST(IsFullPath, OnlyADriveOrServerMakesAPathIndependentOfTheCurrentFolder)
{
    for (const wchar_t* full : {L"C:\\Tools\\", L"d:/x", L"\\\\server\\share\\a.exe"})
        EXPECT_TRUE(IsFullPath(full)) << full;
    for (const wchar_t* relative : {L"Corvane.exe", L"Vestrel\\", L"C:Corvane.exe", L"\\Tools\\a.exe", L"", L"\\\\",
                                     L"\\\\\\Tools\\a.exe"})
        EXPECT_FALSE(IsFullPath(relative)) << relative;
}

// Pieces stay below what older consoles take in one call (64 KB).
TEST(WriteInFull, OffersBoundedPiecesAndTheRestAgainUntilAllIsTakenOrNothingMoves)
{
    std::vector<std::size_t> offered;
    auto takesHalf = [&](std::size_t, std::size_t count, std::uint32_t& written) {
        offered.push_back(count);
        written = static_cast<std::uint32_t>((count + 1) / 2);
        return 0L;
    };
    EXPECT_EQ(WriteInFull(20000, 8192, takesHalf), 0);
    EXPECT_EQ(offered.front(), 8192u);
    EXPECT_EQ(*std::max_element(offered.begin(), offered.end()), 8192u);
    auto stuck = [](std::size_t, std::size_t, std::uint32_t& written) { return written = 0, 0L; };
    EXPECT_EQ(WriteInFull(10, 8192, stuck), 29);  // ERROR_WRITE_FAULT, not a hang
}

TEST(Utf8, EncodesEveryCharacterAndReplacesHalfAPair)
{
    EXPECT_EQ(Utf8(L"A\xE9\x20AC\r\n"), "A\xC3\xA9\xE2\x82\xAC\r\n");
    EXPECT_EQ(Utf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), "\xEF\xBF\xBDx");
}

}  // namespace

namespace {

std::vector<int> closed;
void CloseCounted(int handle)
{
    closed.push_back(handle);
}

}  // namespace

TEST(UniqueHandle, PutClosesWhatItHeldAndTheOwnerClosesWhatTheCallFilled)
{
    closed.clear();
    {
        UniqueHandle<int, &CloseCounted> owner(3);
        *owner.put() = 7;  // as a call fills its out-parameter
        EXPECT_EQ(closed, std::vector<int>{3});
        EXPECT_EQ(owner.get(), 7);
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 7}));
}
