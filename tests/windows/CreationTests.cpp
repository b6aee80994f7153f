#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/CreationPlatform.h"
#include "platform/WinCodes.h"

// The test program is also the child it starts: with this first argument it plays one part and ends.
namespace {

constexpr wchar_t ChildSwitch[] = L"--creation-child";

int PlayChild(const std::string& part, const char* extra)
{
    if (part == "echo")
        // Two lines in one write: the second waits in the parent's buffer.
        return CreationPlatform::WriteLine(std::string(extra) + "\nsecond") ? 0 : 2;
    if (part == "token")
        return CreationPlatform::WriteLine(CreationPlatform::TokenRestricted() ? "restricted" : "same") ? 0 : 2;
    if (part == "flood")
        return CreationPlatform::WriteLine(std::string(70000, 'x')) ? 0 : 2;
    if (part == "crash") {
        (void)CreationPlatform::PrepareChild();
        CreationPlatform::WriteLine("crashing");
        *static_cast<volatile int*>(nullptr) = 1;
    }
    if (part == "hang") {
        CreationPlatform::WriteLine(std::to_string(GetCurrentProcessId()));
        Sleep(INFINITE);
    }
    return 3;
}

using Kind = ChildRead::Kind;

struct Report {
    Kind kind;
    std::string line;
    std::uint32_t exitCode = 0;
    long error = 0;
};

struct ChildCase {
    const char* name;
    std::vector<std::wstring> arguments;
    ChildToken token;
    std::vector<Report> reports;
};

// Ends the child on every path, a failed assertion's too, so that no child outlives the test program.
struct StartedChild {
    ChildHandle child = ChildHandle::None;
    ~StartedChild() { CreationPlatform::EndChild(child); }
};

bool Running(std::uint32_t id)
{
    auto programs = CreationPlatform::RunningPrograms();
    return std::any_of(programs.begin(), programs.end(), [&](const CreationPlatform::RunningProgram& program) {
        return program.id == id && program.path.ends_with(L"tandrel_win_tests.exe");
    });
}

TEST(ChildProcessesUnderWine, AChildsLinesEndAndTokenReachTheParent)
{
    const ChildCase cases[] = {
        {"quoted argument, two lines", {L"echo", L"two words \"quoted\" back\\slash\\"}, ChildToken::Same,
         {{Kind::Line, "two words \"quoted\" back\\slash\\"}, {Kind::Line, "second"}, {Kind::Ended, "", 0}}},
        {"unhandled fault", {L"crash"}, ChildToken::Same, {{Kind::Line, "crashing"}, {Kind::Ended, "", 0xC0000005}}},
        {"restricted token", {L"token"}, ChildToken::Restricted, {{Kind::Line, "restricted"}, {Kind::Ended, "", 0}}},
        {"own token", {L"token"}, ChildToken::Same, {{Kind::Line, "same"}, {Kind::Ended, "", 0}}},
        {"line past the limit", {L"flood"}, ChildToken::Same, {{Kind::Failed, "", 0, WinCode::MoreData}}},
    };
    for (const ChildCase& row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<std::wstring> arguments{ChildSwitch};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        StartedChild started;
        ASSERT_EQ(CreationPlatform::StartChild(arguments, row.token, started.child), 0);
        for (const Report& expected : row.reports) {
            ChildRead read = CreationPlatform::ReadChild(started.child, 20000);
            ASSERT_EQ(read.kind, expected.kind);
            EXPECT_EQ(read.line, expected.line);
            EXPECT_EQ(read.exitCode, expected.exitCode);
            EXPECT_EQ(read.error, expected.error);
        }
    }
}

TEST(ChildProcessesUnderWine, AChildThatHangsTimesOutAndIsEnded)
{
    StartedChild started;
    ASSERT_EQ(CreationPlatform::StartChild({ChildSwitch, L"hang"}, ChildToken::Same, started.child), 0);
    ChildRead first = CreationPlatform::ReadChild(started.child, 20000);
    ASSERT_EQ(first.kind, Kind::Line);
    const auto id = static_cast<std::uint32_t>(std::stoul(first.line));
    EXPECT_TRUE(Running(id));
    EXPECT_EQ(CreationPlatform::ReadChild(started.child, 100).kind, Kind::TimedOut);
    CreationPlatform::EndChild(std::exchange(started.child, ChildHandle::None));
    EXPECT_FALSE(Running(id));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::wstring(argv[1], argv[1] + std::strlen(argv[1])) == ChildSwitch)
        return PlayChild(argv[2], argc >= 4 ? argv[3] : "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
