#include <gtest/gtest.h>

#include <optional>

#include "registry/RegFile.h"

namespace {

using namespace std::string_literals;

const std::wstring Root = L"HKEY_LOCAL_MACHINE\\Software\\Classes";
const std::wstring T = Root + L"\\T";
const std::wstring Header = L"Windows Registry Editor Version 5.00\r\n";

RegKeyData Key(std::vector<RegValueData> values, const std::wstring& path = T)
{
    return {path, std::move(values), L""};
}

std::wstring Block(const std::wstring& lines, const std::wstring& path = T)
{
    return L"\r\n[" + path + L"]\r\n" + lines;
}

// UTF-16LE with its terminating NUL, as the wide registry calls give a REG_SZ.
std::string Sz(std::string_view ascii)
{
    std::string bytes;
    for (char c : ascii)
        bytes += {c, '\0'};
    return bytes + "\0\0"s;
}

// Keys written out and read back: the file holds the text shown (after its header, before the final CRLF), and
// gives back the same keys, or `back` where the format cannot hold something. Malformed files name their line.
TEST(RegFile, KeysComeBackByteForByteAndFaultsNameTheirLine)
{
    struct Case {
        std::vector<RegKeyData> keys;
        std::wstring file;  // "" where it is too long to write out
        std::optional<std::vector<RegKeyData>> back = std::nullopt;
    };
    std::string counting(1000, '\0');
    for (std::size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<char>(i);
    const Case cases[] = {
        {{Key({{L"Na\"me\\", 1, Sz("a \"quoted\" \\ path")}})},
         Block(L"\"Na\\\"me\\\\\"=\"a \\\"quoted\\\" \\\\ path\"\r\n")},
        {{Key({{L"", 4, "\x2a\0\0\0"s}, {L"@", 1, Sz("at")}, {L"Big", 4, "\xef\xbe\xad\xde"s}})},
         Block(L"@=dword:0000002a\r\n\"@\"=\"at\"\r\n\"Big\"=dword:deadbeef\r\n")},
        {{Key({{L"", 1, Sz("")}, {L"E", 2, Sz("%A%")}, {L"M", 7, "a\0\0\0b\0\0\0\0\0"s}, {L"M0", 7, ""}})},
         Block(L"@=\"\"\r\n\"E\"=hex(2):25,00,41,00,25,00,00,00\r\n\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
               L"\"M0\"=hex(7):\r\n")},
        {{Key({{L"Q", 11, "\1\2\3\4\5\6\7\x08"s}, {L"N", 0, "\xff"s}, {L"Odd", 0x1234, "\0"s}, {L"D3", 4, "\1\2\3"}})},
         Block(L"\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n\"N\"=hex(0):ff\r\n\"Odd\"=hex(1234):00\r\n"
               L"\"D3\"=hex(4):01,02,03\r\n")},
        {{Key({{L"Bin", 3, "\1\2\3"}, {L"Empty", 3, ""}}), Key({}, T + L"\\Empty key")},
         Block(L"\"Bin\"=hex:01,02,03\r\n\"Empty\"=hex:\r\n") + Block(L"", T + L"\\Empty key")},
        // Only a string that a quoted string gives back exactly is written as one.
        {{Key({{L"L", 1, "a\0\n\0\0\0"s}, {L"Z", 1, "a\0\0\0b\0\0\0"s}, {L"U", 1, "a\0"s}, {L"S", 1, "\0\xd8\0\0"s}})},
         Block(L"\"L\"=hex(1):61,00,0a,00,00,00\r\n\"Z\"=hex(1):61,00,00,00,62,00,00,00\r\n\"U\"=hex(1):61,00\r\n"
               L"\"S\"=hex(1):00,d8,00,00\r\n")},
        {{Key({{L"Smile", 1, "\x3d\xd8\x00\xde\0\0"s}, {L"\x4E2D\x6587", 1, Sz("x")}}, T + L"\\Odd\x4E2D\x6587")},
         Block(L"\"Smile\"=\"\U0001F600\"\r\n\"\x4E2D\x6587\"=\"x\"\r\n", T + L"\\Odd\x4E2D\x6587")},
        {{Key({}, T + L"\\a]b"), Key({}, L"hkey_local_machine\\SOFTWARE\\classes\\T")},
         Block(L"", T + L"\\a]b") + Block(L"", L"hkey_local_machine\\SOFTWARE\\classes\\T")},
        {{Key({{L"Bin", 3, counting.substr(0, 30)}})},
         Block(L"\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
               L"  17,18,19,1a,1b,1c,1d\r\n")},
        {{Key({{L"Long", 3, counting}, {L"LongText", 7, counting}})}, L""},
        {{{T + L"\\Link", {}, L"\\REGISTRY\\MACHINE\\Elsewhere"}, Key({{L"a\r\nb", 1, Sz("x")}})},
         L"\r\n; Registry link " + T + L"\\Link -> \\REGISTRY\\MACHINE\\Elsewhere, which this file format cannot hold"
         L"\r\n" + Block(L"; The value a  b has a line break in its name, which this file format cannot hold\r\n"),
         std::vector{Key({})}},
        // A NUL would end the name where a restore writes it back: the rest of the file stays restorable.
        {{Key({{L"n\0ul"s, 1, Sz("x")}}, T + L"\\a\0b"s), Key({{L"v", 1, Sz("y")}})},
         L"\r\n; The key " + T + L"\\a b has a NUL character in its name, which this file format cannot hold\r\n" +
             Block(L"\"v\"=\"y\"\r\n"),
         std::vector{Key({{L"v", 1, Sz("y")}})}},
    };
    for (const Case& row : cases) {
        std::wstring text = FormatRegFile(row.keys);
        if (!row.file.empty()) {
            EXPECT_EQ(text, Header + row.file + L"\r\n");
        }
        // Values wrap as the editor wraps them; only a comment may be longer.
        for (std::size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
            EXPECT_TRUE(end - start <= 80 || text[start] == L';') << text.substr(start, end - start);
        RegFileParse parsed = ParseRegFile(text, Root);
        EXPECT_EQ(parsed.keys, row.back.value_or(row.keys)) << text;
        EXPECT_EQ(parsed.errorLine, 0u) << parsed.error;
        std::string bytes = EncodeUtf16File(text);
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
        EXPECT_EQ(DecodeUtf16File(bytes), text);
    }
    EXPECT_EQ(EncodeUtf16File(L"\U0001F600"), "\xFF\xFE\x3d\xd8\x00\xde"s);
    EXPECT_FALSE(DecodeUtf16File("A\0"s));
    EXPECT_FALSE(DecodeUtf16File("\xFF\xFE" "A"s));

    struct Bad {
        std::wstring text;
        std::size_t line;
        std::wstring error;
    };
    const std::wstring head = Header + Block(L"");  // the key is line 3
    const std::wstring notBelow = L"The key is not below HKEY_LOCAL_MACHINE\\Software\\Classes.";
    const Bad bad[] = {
        {L"REGEDIT4\r\n" + Block(L""), 1, L"The first line is not \"Windows Registry Editor Version 5.00\"."},
        {L"", 1, L"The first line is not \"Windows Registry Editor Version 5.00\"."},
        {Header + L"\r\n\"x\"=\"y\"\r\n", 3, L"A value comes before the first key."},
        {head + L"\"B\"=hex:01,0g\r\n", 4, L"\"0g\" is not a byte of two hex digits."},
        {head + L"\"B\"=hex:01,\\\r\n  02,x1\r\n", 5, L"\"x1\" is not a byte of two hex digits."},
        {head + L"\"B\"=hex:01 02\r\n", 4, L"The hex bytes are not separated by commas."},
        {head + L"\"B\"=hex:01,\\\r\n", 4, L"The file ends in the middle of a value: its last line ends in \\."},
        {head + L"\"B\"=hex:01,\\\r\n\r\n", 5,
         L"The line before ends in \\, but this line, which should carry on its hex bytes, is empty."},
        {head + L"\"A\"=\"abc", 4, L"The quoted text has no closing \": the line or the file is cut off."},
        {head + L"\"A\"=\"a\\nb\"\r\n", 4, L"\\n is not an escape this file format knows; only \\\\ and \\\" are."},
        {head + L"\"D\"=dword:1234567\r\n", 4, L"dword: must be followed by exactly 8 hex digits."},
        {head + L"\"T\"=hex(123456789):00\r\n", 4,
         L"The type in hex(...) must be a number of one to eight hex digits."},
        {head + L"\"x\"=-\r\n", 4, L"The line deletes a value; this file may only add keys and values."},
        {head + L"x=1\r\n", 4, L"The line is not a key, a value or a comment."},
        {head + L"[" + T + L"\r\n", 4, L"The key name has no closing ]."},
        {head + L"[-" + T + L"]\r\n", 4, L"The line deletes a key; this file may only add keys and values."},
        {head + L"[" + Root + L"\\\\T]\r\n", 4, L"The key name is empty or has an empty part between backslashes."},
        {head + L"[HKEY_CURRENT_USER\\Software\\Classes\\T]\r\n", 4, notBelow},
        {head + L"[" + Root + L"X\\T]\r\n", 4, notBelow},
        {head + L"[" + Root + L"]\r\n", 4, notBelow},
        {head + L"[" + T + L"\\a\0b]\r\n"s, 4, L"The key name holds a NUL character."},
        {head + L"\"a\0b\"=\"x\"\r\n"s, 4, L"The value name holds a NUL character."},
        {head + L"[" + T + L"\\a\rb]\r\n", 4, L"The key name holds a carriage return."},
        {head + L"\"a\rb\"=\"x\"\r\n", 4, L"The value name holds a carriage return."},
    };
    for (const Bad& row : bad) {
        RegFileParse parsed = ParseRegFile(row.text, Root);
        EXPECT_EQ(parsed.errorLine, row.line) << row.text;
        EXPECT_EQ(parsed.error, row.error) << row.text;
        EXPECT_TRUE(parsed.keys.empty()) << row.text;
    }
}

}  // namespace
