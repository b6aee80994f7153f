// libFuzzer target: the bytes are a file given to /restore. A broken property traps, so libFuzzer keeps the input.
#include <algorithm>
#include <cstdint>

#include "registry/RegFile.h"
#include "tests/fuzz/Require.h"

namespace {

constexpr std::wstring_view Root = L"HKEY_LOCAL_MACHINE\\Software\\Classes";

// Restore passes names through c_str(), and the writer cannot write a line break in a name.
bool IsWholeAndOneLine(std::wstring_view name)
{
    return name.find_first_of(std::wstring_view(L"\0\r\n", 3)) == std::wstring_view::npos;
}

// Strictly below Root, its letters in any case, with no empty part.
bool IsBelowRoot(std::wstring_view path)
{
    auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; };
    return path.size() > Root.size() + 1 && path[Root.size()] == L'\\' && path.back() != L'\\' &&
           path.find(L"\\\\") == std::wstring_view::npos &&
           std::equal(Root.begin(), Root.end(), path.begin(), [&](wchar_t r, wchar_t p) { return fold(r) == fold(p); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<std::wstring> text = DecodeUtf16File(bytes);
    if (!text)
        return 0;
    Require(EncodeUtf16File(*text) == bytes, "the file's text encodes back to its bytes");
    RegFileParse parsed = ParseRegFile(*text, Root);
    if (parsed.errorLine != 0) {
        auto lines = static_cast<std::size_t>(std::count(text->begin(), text->end(), L'\n')) + 1;
        Require(parsed.keys.empty() && parsed.errorLine <= lines && !parsed.error.empty(),
                "a refused file gives no keys, a line of the file and a reason");
        return 0;
    }
    for (const RegKeyData& key : parsed.keys) {
        Require(IsBelowRoot(key.path) && IsWholeAndOneLine(key.path) && key.linkTarget.empty(),
                "a key read lies below the root, with no empty part, NUL or line break");
        for (const RegValueData& value : key.values)
            Require(IsWholeAndOneLine(value.name), "a value name read holds no NUL or line break");
    }
    std::wstring formatted = FormatRegFile(parsed.keys);
    Require(DecodeUtf16File(EncodeUtf16File(formatted)) == formatted, "the written text encodes and decodes");
    RegFileParse again = ParseRegFile(formatted, Root);
    Require(again.errorLine == 0 && again.keys == parsed.keys, "what is written reads back the same");
    return 0;
}
