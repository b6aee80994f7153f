#include <gtest/gtest.h>

#include "console/CommandLine.h"
#include "console/Unattended.h"
#include "tests/fakes/FakeProcesses.h"
#include "tests/fakes/FakeRegistry.h"
#include "tests/fakes/FakeSystem.h"
#include "tests/fakes/FakeWindowSystem.h"
#include "tests/host/SuiteFixture.h"

namespace {

enum class Machine { Bare, SuiteInstalled, FilesOnly };

void Prepare(Machine machine)
{
    auto& registry = FakeRegistry::Instance();
    auto& processes = FakeProcesses::Instance();
    registry.Reset();
    processes.Reset();
    FakeSystem::Instance().Reset();
    FakeWindowSystem::Instance().Reset();
    if (machine == Machine::Bare)
        return;
    registry.SetString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vestrel.exe", L"",
                       L"C:\\Program Files\\Vestrel\\Vestrel.exe");
    if (machine == Machine::SuiteInstalled) {
        for (const auto& c : SuiteFixture::SuiteClasses())
            SuiteFixture::Register(registry, c);
    }
    for (const wchar_t* file : {L"Glimmet.ocx", L"Daskel.dll", L"Wrenna.dll", L"regsvr32.exe"})
        processes.AddFile(std::wstring(L"C:\\WINDOWS\\system32\\") + file);
    for (const wchar_t* file : {L"Corvane.exe", L"Sulvary.exe", L"Brenlow.exe", L"Ladrisk.exe", L"Omberly.exe",
                                L"Vestrel.exe"})
        processes.AddFile(std::wstring(L"C:\\Program Files\\Vestrel\\") + file);
}

std::string Letters(const std::vector<UnattendedCommand>& commands)
{
    std::string letters;
    for (auto command : commands)
        letters += command == UnattendedCommand::Load ? 'L' : command == UnattendedCommand::Delete ? 'D' : 'C';
    return letters;
}

// Each command line as a script would give it: what runs, in which order,
// and the exit code the run ends with on the machine given.
TEST(CommandLine, SwitchesCommandsAndExitCodes)
{
    struct Case {
        std::vector<std::wstring> arguments;
        std::string commands;
        const wchar_t* error;  // the start of the reason; "" when it runs
        const wchar_t* logFile;
        Machine machine;
        int exitCode;
    };
    const Case cases[] = {
        {{L"/load"}, "L", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/load"}, "L", L"", nullptr, Machine::Bare, 1},
        {{L"-LOAD", L"/Create"}, "LC", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/delete", L"/yes"}, "LD", L"", nullptr, Machine::SuiteInstalled, 0},
        {{L"/yes", L"/DELETE", L"/create", L"/log", L"out file.txt"}, "LDC", L"", L"out file.txt",
         Machine::SuiteInstalled, 0},
        // Create succeeds, but the stand-in programs register nothing here,
        // so the Load after it fails: one failed command makes the run fail.
        {{L"/create", L"/load"}, "CL", L"", nullptr, Machine::FilesOnly, 1},
        {{L"/create"}, "C", L"", nullptr, Machine::Bare, 1},
        // A second Delete works on the second Load, which finds nothing.
        {{L"/delete", L"/yes", L"/delete"}, "LDD", L"", nullptr, Machine::SuiteInstalled, 1},
        {{L"/?"}, "", L"", nullptr, Machine::Bare, 0},
        {{L"/delete"}, "LD", L"/delete needs /yes", nullptr, Machine::SuiteInstalled, 2},
        {{L"/load", L"/log"}, "L", L"/log needs the name of a file", nullptr, Machine::SuiteInstalled, 2},
        {{L"/frobnicate", L"/log", L"x.txt"}, "", L"Unknown argument: /frobnicate", L"x.txt", Machine::Bare, 2},
        {{L"load"}, "", L"Unknown argument: load", nullptr, Machine::Bare, 2},
        {{L"/", L"/load"}, "L", L"Unknown argument: /", nullptr, Machine::Bare, 2},
        {{L"/log", L"a", L"/log", L"b", L"/load"}, "L", L"/log is given twice", L"a", Machine::Bare, 2},
        {{L"/log", L"a"}, "", L"Nothing to do", L"a", Machine::Bare, 2},
    };
    for (const auto& c : cases) {
        std::wstring shown;
        for (const auto& argument : c.arguments)
            shown += argument + L" ";
        SCOPED_TRACE(std::string(shown.begin(), shown.end()));
        CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.error.rfind(c.error, 0), 0u) << std::string(line.error.begin(), line.error.end());
        EXPECT_EQ(line.error.empty(), std::wstring(c.error).empty());
        EXPECT_EQ(line.logFile, c.logFile ? std::optional<std::wstring>(c.logFile) : std::nullopt);
        EXPECT_EQ(line.help, c.arguments == std::vector<std::wstring>{L"/?"});

        int exitCode = ExitCode::UsageError;
        std::wstring log;
        Prepare(c.machine);
        std::wstring before = FakeRegistry::Instance().Dump();
        if (line.error.empty()) {
            EXPECT_EQ(Letters(line.commands), c.commands);
            UnattendedView view([&log](const std::wstring& text) { log += text; });
            exitCode = line.help ? ExitCode::Success : RunUnattended(view, line.commands);
        }
        EXPECT_EQ(exitCode, c.exitCode);
        if (exitCode == ExitCode::UsageError) {
            EXPECT_EQ(FakeRegistry::Instance().Dump(), before);
        }
        if (!c.commands.empty() && exitCode != ExitCode::UsageError) {
            // The window's log text: start-up's line first, then the reports.
            EXPECT_EQ(log.rfind(L"Vestrel Path: ", 0), 0u);
            EXPECT_EQ(exitCode == ExitCode::CommandFailed, log.find(L"\r\n*** ERROR IN ") != std::wstring::npos);
        }
    }
}

}  // namespace
