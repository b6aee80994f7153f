#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text as the registry's wide calls and registry files hold it: UTF-16 code
// units, little-endian in bytes. Where wchar_t is 32-bit, characters above
// U+FFFF become surrogate pairs and back; a lone half of a pair is kept.

[[nodiscard]] std::u16string ToUtf16(std::wstring_view text);
// `valid` turns false at a lone half of a surrogate pair.
[[nodiscard]] std::wstring FromUtf16(std::u16string_view units, bool& valid);
// Little-endian bytes and their code units; an odd last byte is dropped.
[[nodiscard]] std::u16string UnitsOf(std::string_view bytes);
[[nodiscard]] std::string BytesOf(std::u16string_view units);
// A REG_DWORD's four bytes, little-endian as the registry stores them.
[[nodiscard]] std::string DwordBytes(std::uint32_t number);
