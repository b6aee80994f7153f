#include <gtest/gtest.h>

#include <string>

#include "helpers/OutputFile.h"
#include "unattended/Verdict.h"

namespace {

std::string Times(int count, const std::string& text)
{
    std::string repeated;
    for (int i = 0; i < count; ++i)
        repeated += text;
    return repeated;
}

// The verdict's line byte for byte: its members in their order, in ASCII with the rest escaped, and cut to the
// 2,048 bytes a deployment tool keeps by shortening its longest texts.
TEST(Verdict, EachValueGivesItsLineByteForByte)
{
    using enum VerdictReason;
    // The members of a failed run that found nothing, from "healthy" to "backup"; the line's start when it is cut.
    const std::string tail = R"(,"healthy":null,"reason":"command-failed","problems":null,"classesWithProblems":[],)";
    const std::string cut =
        R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":[],"exitCode":1)" + tail;
    std::wstring pairs;
    for (int i = 0; i < 1000; ++i)
        pairs += {wchar_t(0xD83D), wchar_t(0xDE00)};
    struct Row {
        Verdict verdict;
        std::string line;
    };
    const Row rows[] = {
        {{.computer = L"WORKSTATION7", .time = L"2026-12-08T09:05:07", .commands = {L"check"}, .healthy = true,
          .problems = 0, .log = L"C:\\Logs\\x.log"},
         R"({"tool":"Tandrel","version":"9.99","computer":"WORKSTATION7","time":"2026-12-08T09:05:07",)"
         R"("commands":["check"],"exitCode":0,"healthy":true,"reason":null,"problems":0,"classesWithProblems":[],)"
         R"("backup":null,"log":"C:\\Logs\\x.log","error":null,"shortened":false})"},
        {{.computer = L"PC", .time = L"T", .commands = {L"repair"}, .exitCode = 1, .healthy = false,
          .reason = Problems, .problems = 2, .classesWithProblems = {L"Wrenna.clsIFace", L"Daskel.clsDaskel"},
          .backup = L"C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg"},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":["repair"],"exitCode":1,)"
         R"("healthy":false,"reason":"problems","problems":2,"classesWithProblems":["Wrenna.clsIFace",)"
         R"("Daskel.clsDaskel"],"backup":"C:\\ProgramData\\Tandrel\\Backups\\Repair-20261208-090507.reg",)"
         R"("log":null,"error":null,"shortened":false})"},
        // The reason's word is for exit codes other than 0, whatever the commands gave.
        {{.computer = L"PC", .time = L"T", .commands = {L"load", L"delete"}, .reason = LogFailed},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":["load","delete"],"exitCode":0,)"
         R"("healthy":null,"reason":null,"problems":null,"classesWithProblems":[],"backup":null,"log":null,)"
         R"("error":null,"shortened":false})"},
        {{.computer = L"PC", .time = L"T", .exitCode = 2, .reason = Usage, .error = L"Unknown argument: load"},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":[],"exitCode":2,)"
         R"("healthy":null,"reason":"usage","problems":null,"classesWithProblems":[],"backup":null,"log":null,)"
         R"("error":"Unknown argument: load","shortened":false})"},
        {{.computer = L"PC", .time = L"T", .commands = {L"load"}, .exitCode = 1618, .reason = Busy,
          .error = L"Another Tandrel run is in progress on this computer; nothing was done."},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":["load"],"exitCode":1618,)"
         R"("healthy":null,"reason":"busy","problems":null,"classesWithProblems":[],"backup":null,"log":null,)"
         R"("error":"Another Tandrel run is in progress on this computer; nothing was done.","shortened":false})"},
        // Quotes, backslashes and control characters escaped; all beyond ASCII as UTF-16 escapes.
        {{.computer = L"PC \"7\"", .time = L"T", .exitCode = 1, .reason = CommandFailed,
          .backup = L"D:\\B\u00E9\u20AC\U0001F600.reg", .log = L"C:\\a\"b\\\\c.log",
          .error = L"two\r\nlines\tand\x01\x1F\x7F"},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC \"7\"","time":"T","commands":[],"exitCode":1)" + tail +
             R"("backup":"D:\\B\u00e9\u20ac\ud83d\ude00.reg","log":"C:\\a\"b\\\\c.log",)"
             R"("error":"two\r\nlines\tand\u0001\u001f\u007f","shortened":false})"},
        // Too long: the longest text keeps as much as fits; one that cannot fit at all is cut to nothing, and the
        // next longest after it.
        {{.computer = L"PC", .time = L"T", .exitCode = 1, .reason = CommandFailed, .log = std::wstring(3000, L'x')},
         cut + R"("backup":null,"log":")" + std::string(1821, 'x') + R"(...","error":null,"shortened":true})"},
        {{.computer = L"PC", .time = L"T", .exitCode = 1, .reason = CommandFailed, .log = std::wstring(3000, L'l'),
          .error = std::wstring(3000, L'e')},
         cut + R"("backup":null,"log":")" + std::string(1820, 'l') + R"(...","error":"...","shortened":true})"},
        {{.computer = std::wstring(2100, L'c'), .time = L"T", .exitCode = 1, .reason = CommandFailed,
          .backup = std::wstring(100, L'b')},
         R"({"tool":"Tandrel","version":"9.99","computer":")" + std::string(1723, 'c') +
             R"(...","time":"T","commands":[],"exitCode":1)" + tail + R"("backup":")" + std::string(100, 'b') +
             R"(","log":null,"error":null,"shortened":true})"},
        // Never half of a surrogate pair, each half a \ufffd on this platform.
        {{.computer = L"PC", .time = L"T", .exitCode = 1, .reason = CommandFailed, .backup = pairs},
         cut + R"("backup":")" + Times(302, R"(\ufffd)") + R"(...","log":null,"error":null,"shortened":true})"},
        // Nothing left to shorten: the line goes out whole.
        {{.computer = L"PC", .time = L"T", .exitCode = 1, .reason = CommandFailed,
          .classesWithProblems = std::vector<std::wstring>(100, L"Vestrel.clsEMailIFace")},
         R"({"tool":"Tandrel","version":"9.99","computer":"PC","time":"T","commands":[],"exitCode":1,"healthy":null,)"
         R"("reason":"command-failed","problems":null,"classesWithProblems":[)" +
             Times(99, R"("Vestrel.clsEMailIFace",)") +
             R"("Vestrel.clsEMailIFace"],"backup":null,"log":null,"error":null,"shortened":false})"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line.substr(0, 120));
        EXPECT_EQ(Utf8(FormatVerdict(row.verdict, L"9.99")), row.line);
    }
}

}  // namespace
