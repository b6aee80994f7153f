#pragma once

#include <string>

// Conversion between the program's text and the system's ANSI code page, for
// the Win32 adapters only: the logic never sees ANSI bytes.
namespace AnsiText {

[[nodiscard]] std::string FromWide(const std::wstring& text);
[[nodiscard]] std::wstring ToWide(const std::string& bytes);

}  // namespace AnsiText
