#include "helpers/Utf16.h"

#include <cstdint>

std::u16string ToUtf16(std::wstring_view text)
{
    std::u16string units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if (code < 0x10000) {
            units.push_back(static_cast<char16_t>(code));
        } else if (code <= 0x10FFFF) {
            units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(u'\xFFFD');
        }
    }
    return units;
}

std::wstring FromUtf16(std::u16string_view units, bool& valid)
{
    std::wstring text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t unit = units[i];
        bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                    units[i + 1] <= 0xDFFF;
        if (!pair) {
            valid = valid && (unit < 0xD800 || unit > 0xDFFF);
            text.push_back(static_cast<wchar_t>(unit));
        } else if constexpr (sizeof(wchar_t) == 2) {
            text.push_back(static_cast<wchar_t>(unit));
            text.push_back(static_cast<wchar_t>(units[++i]));
        } else {
            text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00u)));
        }
    }
    return text;
}

std::u16string UnitsOf(std::string_view bytes)
{
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

std::string BytesOf(std::u16string_view units)
{
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string DwordBytes(std::uint32_t number)
{
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<char>(number >> shift & 0xFF));
    return bytes;
}
