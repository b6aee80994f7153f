#include "registry/RegFile.h"

#include <algorithm>
#include <cstdint>

#include "helpers/FuncLib.h"
#include "helpers/Utf16.h"

namespace {

constexpr std::wstring_view Header = L"Windows Registry Editor Version 5.00";
constexpr std::uint32_t RegSz = 1;
constexpr std::uint32_t RegBinary = 3;
constexpr std::uint32_t RegDword = 4;
// The editor keeps wrapped hex lines within this many characters, the final "\" included.
constexpr std::size_t MaxLine = 80;
constexpr std::wstring_view NotHeld = L", which this file format cannot hold\r\n";
constexpr std::wstring_view OnlyAdds = L"; this file may only add keys and values.";

// The registry editor writes its hex in lower case.
std::wstring Hex(std::uint32_t number, std::size_t width)
{
    return HexDigits(number, width, false);
}

// `digits` holds 1 to 8 hex digits, already checked.
std::uint32_t HexValue(std::wstring_view digits)
{
    std::uint32_t number = 0;
    for (wchar_t c : digits)
        number = number << 4 | static_cast<std::uint32_t>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    return number;
}

bool AllHex(std::wstring_view text)
{
    for (wchar_t c : text) {
        if (!IsHexDigit(c))
            return false;
    }
    return !text.empty();
}

// What in a name this format cannot hold: a line break ends its line, and a
// NUL would end the name where it is written back. "" for a name it can.
std::wstring Unwritable(std::wstring_view name)
{
    if (name.find_first_of(L"\r\n") != std::wstring_view::npos)
        return L"a line break";
    return name.find(L'\0') != std::wstring_view::npos ? L"a NUL character" : L"";
}

// A name in a comment line, which must stay one line.
std::wstring OneLine(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n' || c == L'\0')
            c = L' ';
    }
    return text;
}

std::wstring Quoted(std::wstring_view text)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            quoted.push_back(L'\\');
        quoted.push_back(c);
    }
    return quoted + L"\"";
}

// The text of a REG_SZ only when a quoted string gives back the same bytes: one terminating NUL, no NUL or line
// break before it (the importer mangles those), and no lone surrogate.
std::optional<std::wstring> QuotableText(const RegValueData& value)
{
    if (value.type != RegSz || value.bytes.size() < 2 || value.bytes.size() % 2 != 0)
        return std::nullopt;
    std::u16string units = UnitsOf(value.bytes);
    if (units.back() != 0)
        return std::nullopt;
    units.pop_back();
    if (units.find_first_of(std::u16string_view(u"\0\r\n", 3)) != std::u16string::npos)
        return std::nullopt;
    bool valid = true;
    std::wstring text = FromUtf16(units, valid);
    if (!valid)
        return std::nullopt;
    return text;
}

// Lines wrap after a comma, with "\" and a two-space indent, as the editor wraps them.
void AppendHexBytes(std::wstring& out, std::wstring line, std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bool last = i + 1 == bytes.size();
        if (line.size() + (last ? 2 : 4) > MaxLine && line.size() > 2) {
            out += line + L"\\\r\n";
            line = L"  ";
        }
        auto byte = static_cast<unsigned char>(bytes[i]);
        line += Hex(byte, 2) + (last ? L"" : L",");
    }
    out += line + L"\r\n";
}

void AppendValue(std::wstring& out, const RegValueData& value)
{
    if (std::wstring what = Unwritable(value.name); !what.empty()) {
        out += L"; The value " + OneLine(value.name) + L" has " + what + L" in its name" + std::wstring(NotHeld);
        return;
    }
    std::wstring line = value.name.empty() ? L"@=" : Quoted(value.name) + L"=";
    if (auto text = QuotableText(value)) {
        out += line + Quoted(*text) + L"\r\n";
    } else if (value.type == RegDword && value.bytes.size() == 4) {
        std::uint32_t number = 0;
        for (std::size_t i = 4; i-- > 0;)
            number = number << 8 | static_cast<unsigned char>(value.bytes[i]);
        out += line + L"dword:" + Hex(number, 8) + L"\r\n";
    } else {
        line += value.type == RegBinary ? L"hex:" : L"hex(" + Hex(value.type, 1) + L"):";
        AppendHexBytes(out, std::move(line), value.bytes);
    }
}

std::wstring_view Trim(std::wstring_view text)
{
    constexpr std::wstring_view blanks = L" \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::size_t SkipBlanks(std::wstring_view text, std::size_t pos)
{
    return std::min(text.find_first_not_of(L" \t", pos), text.size());
}

std::vector<std::wstring_view> SplitLines(std::wstring_view text)
{
    std::vector<std::wstring_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find(L'\n', start), text.size());
        lines.push_back(Trim(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

bool IsBelow(std::wstring_view path, std::wstring_view root)
{
    while (!root.empty() && root.back() == L'\\')
        root.remove_suffix(1);
    return !root.empty() && path.size() > root.size() + 1 && path[root.size()] == L'\\' &&
           EqualsIgnoringCase(std::wstring(path.substr(0, root.size())), std::wstring(root));
}

// Restore hands names to the registry through c_str(), which would end them at a NUL, and the writer cannot write
// a carriage return in a name back: either way another key or value than the one in the file would be written.
std::wstring NameFault(std::wstring_view what, std::wstring_view name)
{
    if (name.find(L'\0') != std::wstring_view::npos)
        return L"The " + std::wstring(what) + L" name holds a NUL character.";
    if (name.find(L'\r') != std::wstring_view::npos)
        return L"The " + std::wstring(what) + L" name holds a carriage return.";
    return L"";
}

// Each Read... returns "" or what is wrong with the line.
std::wstring ReadKey(std::wstring_view line, std::wstring_view root, std::wstring& path)
{
    std::size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos)
        return L"The key name has no closing ].";
    if (close + 1 != line.size())
        return L"There is text after the ] that closes the key name.";
    path = line.substr(1, close - 1);
    if (path.starts_with(L'-'))
        return L"The line deletes a key" + std::wstring(OnlyAdds);
    if (auto why = NameFault(L"key", path); !why.empty())
        return why;
    if (path.empty() || path.front() == L'\\' || path.back() == L'\\' || path.find(L"\\\\") != std::wstring::npos)
        return L"The key name is empty or has an empty part between backslashes.";
    if (!IsBelow(path, root))
        return L"The key is not below " + std::wstring(root) + L".";
    return L"";
}

// `pos` is on the opening quote; it ends after the closing one.
std::wstring ReadQuoted(std::wstring_view line, std::size_t& pos, std::wstring& text)
{
    for (++pos; pos < line.size();) {
        wchar_t c = line[pos++];
        if (c == L'"')
            return L"";
        if (c == L'\\' && pos < line.size()) {
            c = line[pos++];
            if (c != L'\\' && c != L'"')
                return std::wstring(L"\\") + c + L" is not an escape this file format knows; only \\\\ and \\\" are.";
        }
        text.push_back(c);
    }
    return L"The quoted text has no closing \": the line or the file is cut off.";
}

// Reads the bytes after "hex...:" and on the lines a final "\" carries them on to; `i` ends on the last line read.
std::wstring ReadHexBytes(const std::vector<std::wstring_view>& lines, std::size_t& i, std::wstring_view data,
                          std::string& bytes)
{
    for (;;) {
        bool more = data.ends_with(L'\\');
        if (more)
            data = Trim(data.substr(0, data.size() - 1));
        for (std::size_t pos = 0; pos < data.size();) {
            if (pos + 2 > data.size() || !IsHexDigit(data[pos]) || !IsHexDigit(data[pos + 1]))
                return L"\"" + std::wstring(data.substr(pos, 2)) + L"\" is not a byte of two hex digits.";
            bytes.push_back(static_cast<char>(HexValue(data.substr(pos, 2))));
            pos = SkipBlanks(data, pos + 2);
            if (pos < data.size() && data[pos++] != L',')
                return L"The hex bytes are not separated by commas.";
            pos = SkipBlanks(data, pos);
        }
        if (!more)
            return L"";
        if (i + 1 == lines.size())
            return L"The file ends in the middle of a value: its last line ends in \\.";
        data = lines[++i];
        if (data.empty())
            return L"The line before ends in \\, but this line, which should carry on its hex bytes, is empty.";
    }
}

// `i` is on the value's line and ends on the last line the value takes, or on the line at fault.
std::wstring ReadValue(const std::vector<std::wstring_view>& lines, std::size_t& i, RegValueData& value)
{
    std::wstring_view line = lines[i];
    std::size_t pos = 1;
    if (line[0] == L'"') {
        pos = 0;
        if (auto why = ReadQuoted(line, pos, value.name); !why.empty())
            return why;
        if (auto why = NameFault(L"value", value.name); !why.empty())
            return why;
    } else if (line[0] != L'@') {
        return L"The line is not a key, a value or a comment.";
    }
    std::wstring_view rest = Trim(line.substr(pos));
    if (!rest.starts_with(L'='))
        return L"The value name is not followed by =.";
    std::wstring_view data = Trim(rest.substr(1));
    if (data == L"-")
        return L"The line deletes a value" + std::wstring(OnlyAdds);
    if (data.starts_with(L'"')) {
        std::wstring text;
        pos = 0;
        if (auto why = ReadQuoted(data, pos, text); !why.empty())
            return why;
        if (pos != data.size())
            return L"There is text after the closing quote of the value.";
        value.type = RegSz;
        value.bytes = BytesOf(ToUtf16(text)) + std::string(2, '\0');
        return L"";
    }
    if (data.starts_with(L"dword:")) {
        if (data.size() != 14 || !AllHex(data.substr(6)))
            return L"dword: must be followed by exactly 8 hex digits.";
        std::uint32_t number = HexValue(data.substr(6));
        value.type = RegDword;
        value.bytes = DwordBytes(number);
        return L"";
    }
    if (!data.starts_with(L"hex"))
        return L"The value is not a quoted string, dword: or hex:.";
    data.remove_prefix(3);
    value.type = RegBinary;
    if (data.starts_with(L'(')) {
        std::size_t close = data.find(L')');
        if (close == std::wstring_view::npos || close > 9 || !AllHex(data.substr(1, close - 1)))
            return L"The type in hex(...) must be a number of one to eight hex digits.";
        value.type = HexValue(data.substr(1, close - 1));
        data.remove_prefix(close + 1);
    }
    if (!data.starts_with(L':'))
        return L"hex or hex(type) must be followed by a colon.";
    return ReadHexBytes(lines, i, Trim(data.substr(1)), value.bytes);
}

}  // namespace

std::wstring CannotHold(const RegKeyData& key)
{
    if (!key.linkTarget.empty())
        return L"";
    if (std::wstring what = Unwritable(key.path); !what.empty())
        return L"the key " + OneLine(key.path) + L" has " + what + L" in its name";
    for (const RegValueData& value : key.values) {
        if (std::wstring what = Unwritable(value.name); !what.empty())
            return L"the value " + OneLine(value.name) + L" of " + key.path + L" has " + what + L" in its name";
    }
    return L"";
}

std::wstring FormatRegFile(const std::vector<RegKeyData>& keys, const std::wstring& comment)
{
    std::wstring out = std::wstring(Header) + L"\r\n";
    if (!comment.empty())
        out += L"; " + OneLine(comment) + L"\r\n";
    for (const RegKeyData& key : keys) {
        out += L"\r\n";
        if (!key.linkTarget.empty()) {
            out += L"; Registry link " + OneLine(key.path) + L" -> " + OneLine(key.linkTarget) +
                   std::wstring(NotHeld);
        } else if (std::wstring what = Unwritable(key.path); !what.empty()) {
            out += L"; The key " + OneLine(key.path) + L" has " + what + L" in its name" + std::wstring(NotHeld);
        } else {
            out += L"[" + key.path + L"]\r\n";
            for (const RegValueData& value : key.values)
                AppendValue(out, value);
        }
    }
    return out + L"\r\n";
}

RegFileParse ParseRegFile(std::wstring_view text, std::wstring_view allowedRoot)
{
    RegFileParse result;
    std::vector<std::wstring_view> lines = SplitLines(text);
    auto fail = [&result](std::size_t index, std::wstring why) {
        result.keys.clear();
        result.keyLines.clear();
        result.errorLine = index + 1;
        result.error = std::move(why);
        return result;
    };
    if (lines.empty() || lines[0] != Header)
        return fail(0, L"The first line is not \"" + std::wstring(Header) + L"\".");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::wstring_view line = lines[i];
        if (line.empty() || line[0] == L';')
            continue;
        if (line[0] == L'[') {
            RegKeyData key;
            if (auto why = ReadKey(line, allowedRoot, key.path); !why.empty())
                return fail(i, why);
            result.keys.push_back(std::move(key));
            result.keyLines.push_back(i + 1);
            continue;
        }
        if (result.keys.empty())
            return fail(i, L"A value comes before the first key.");
        RegValueData value;
        if (auto why = ReadValue(lines, i, value); !why.empty())
            return fail(i, why);
        result.keys.back().values.push_back(std::move(value));
    }
    return result;
}

std::string EncodeUtf16File(const std::wstring& text)
{
    return "\xFF\xFE" + BytesOf(ToUtf16(text));
}

std::optional<std::wstring> DecodeUtf16File(std::string_view bytes)
{
    if (bytes.size() % 2 != 0 || !bytes.starts_with("\xFF\xFE"))
        return std::nullopt;
    bool valid = true;
    return FromUtf16(UnitsOf(bytes.substr(2)), valid);
}
