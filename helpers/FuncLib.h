#pragma once

#include <cstdint>
#include <cwctype>
#include <string>

// Text, path and location helpers. They hold no state and report nothing:
// "" is the answer for everything that is not there.

// The part of `text` before its first NUL, or all of it.
[[nodiscard]] std::wstring TrimNull(const std::wstring& text);

// True for "", for spaces only and for NULs only; every other character,
// whatever its code, makes a value non-blank.
[[nodiscard]] bool IsBlank(const std::wstring& value);

// Whether two names are the same for the registry, which ignores letter case.
[[nodiscard]] inline bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

// `text` with every letter lower-cased, to compare or keep names as the registry and the file system do.
[[nodiscard]] inline std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// 0-9, a-f and A-F only: what a hex number or a GUID is written in, whatever the locale calls a digit.
[[nodiscard]] inline bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// `number` in hex digits, at least `width` of them, without a prefix. Inline, as the file readers that the fuzzers
// build alone use it.
[[nodiscard]] inline std::wstring HexDigits(std::uint32_t number, std::size_t width, bool upperCase)
{
    const wchar_t* digits = upperCase ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[number & 0xF]);
        number >>= 4;
    } while (number != 0 || text.size() < width);
    return text;
}

// Trims `path` in place (unless it is blank) and returns it ending in a
// separator; "" for a blank path.
[[nodiscard]] std::wstring AddBackslash(std::wstring& path);

// The text after the last dot, with the dot when `includeDot`; "" when there
// is no dot or it is the last character.
[[nodiscard]] std::wstring FileExtension(const std::wstring& path, bool includeDot);

// The Windows and system directories ending in "\", or "".
[[nodiscard]] std::wstring WindowsDirectory();
[[nodiscard]] std::wstring SystemDirectory();

// The folder of Tandrel's own file ending in "\", or "".
[[nodiscard]] std::wstring ProgramDirectory();

// True for a path that names its drive or server and so does not depend on
// the current folder: "C:\..." or "\\server\...".
[[nodiscard]] bool IsFullPath(const std::wstring& path);

// The install directory of `exeName` from its App Paths entry, ending in the
// separator found, or "".
[[nodiscard]] std::wstring AppPathOf(const std::wstring& exeName);
