#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegTree.h"

// The text of a registry file as the system's editor writes it (no BOM here):
// "Windows Registry Editor Version 5.00", CRLF line ends, a blank line before each [key], an extra CRLF at the end.
// What the format cannot hold becomes a ';' comment line: a registry link, and a key or value whose name holds a
// line break or a NUL. Everything else reads back byte for byte. A `comment` becomes the second line, "; " and
// the comment on one line.
[[nodiscard]] std::wstring FormatRegFile(const std::vector<RegKeyData>& keys, const std::wstring& comment = L"");

// "" when FormatRegFile writes `key` so that it reads back as it is, a registry link counted (it is noted, and
// only ever removed as itself); otherwise what it cannot hold, as "the value ... of ... has a line break in its name".
[[nodiscard]] std::wstring CannotHold(const RegKeyData& key);

struct RegFileParse {
    std::vector<RegKeyData> keys;  // in file order; empty on error
    std::vector<std::size_t> keyLines;  // the 1-based line of each key
    std::size_t errorLine = 0;     // 1-based line of the first fault; 0 when the file is good
    std::wstring error;            // what is wrong there, for the log
};

// Reads a whole file's text (BOM already removed). Every key must lie below `allowedRoot`
// (compared without regard to case, e.g. L"HKEY_LOCAL_MACHINE\\Software\\Classes"): a key elsewhere, or the
// root itself, is an error. Lines that delete ("[-key]", "\"name\"=-") are errors: this reader only adds.
[[nodiscard]] RegFileParse ParseRegFile(std::wstring_view text, std::wstring_view allowedRoot);

// The file's bytes: UTF-16LE with the byte-order mark FF FE; and back (nothing when the BOM is missing or the
// length is odd). On Linux, characters above U+FFFF become surrogate pairs and back.
[[nodiscard]] std::string EncodeUtf16File(const std::wstring& text);
[[nodiscard]] std::optional<std::wstring> DecodeUtf16File(std::string_view bytes);
