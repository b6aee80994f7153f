#include "unattended/Unattended.h"

#include <algorithm>
#include <cwchar>

#include "commands/Commands.h"
#include "commands/Repair.h"
#include "commands/Verify.h"
#include "helpers/RunIdentity.h"
#include "helpers/RunLock.h"
#include "platform/SystemPlatform.h"
#include "unattended/UnattendedOutput.h"

namespace {

const wchar_t* const CommandNames[] = {L"load", L"delete", L"create", L"restore", L"check", L"repair", L"verify"};

// Each once, in the order first run: a line of 300 switches still fits the verdict.
void ListCommand(Verdict& verdict, UnattendedCommand command)
{
    const std::wstring name = CommandNames[static_cast<int>(command)];
    if (std::find(verdict.commands.begin(), verdict.commands.end(), name) == verdict.commands.end())
        verdict.commands.push_back(name);
}

// What a command did, as the verdict counts it.
void Fold(Verdict& verdict, const CommandOutcome& outcome)
{
    if (outcome.check) {
        verdict.problems = outcome.check->problems;
        verdict.classesWithProblems = outcome.check->classes;
        verdict.healthy = outcome.check->problems == 0;
    }
    verdict.reason = MoreSpecific(verdict.reason, outcome.reason);
    if (!outcome.backup.empty())
        verdict.backup = outcome.backup;
}

CommandOutcome RunCommand(UnattendedCommand command, SuiteState& state, CommandLog& log, const CommandLine& line,
                          const BackupOrder& backup)
{
    switch (command) {
    case UnattendedCommand::Load:
        return LoadSuite(state, log);
    case UnattendedCommand::Delete:
        return DeleteSuite(state, log, backup);
    case UnattendedCommand::Create:
        return CreateSuite(state, log);
    case UnattendedCommand::Check:
        return CheckSuiteCommand(state, log);
    case UnattendedCommand::Repair:
        return RepairSuite(state, log, backup);
    case UnattendedCommand::Verify:
        return VerifySuiteCommand(state, log);
    case UnattendedCommand::Restore:
        return RestoreSuite(*line.restoreFile, log);
    }
    return {};
}

// Whatever kept the lock from being taken, nothing is done: not even the log is opened.
int NothingDone(RunLock::Outcome locked, const std::wstring& lockMessage, const CommandLine& line,
                UnattendedOutput& output, Verdict& verdict)
{
    output.Write(lockMessage + L"\r\n");
    verdict.error = lockMessage;
    // What was not done, for whoever retries it.
    for (UnattendedCommand command : line.commands)
        ListCommand(verdict, command);
    verdict.reason = locked == RunLock::Outcome::Held ? VerdictReason::Busy : VerdictReason::LockRefused;
    return ExitCodeOf(verdict.reason);
}

// Opens the log file the line names and checks the backup file it names; a
// file that cannot be used is the line's error. True when the log is open.
bool OpenFiles(CommandLine& line, const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
               const SystemPlatform::LocalTime& start)
{
    std::wstring logError;
    bool logOpen = line.logFile && output.OpenLog(*line.logFile, logError);
    if (logOpen) {
        verdict.log = output.LogPath();
        // Logs of many machines, accounts and runs are told apart by their first lines.
        output.WriteLog(RunIdentity(start) + L"\r\nCommand line: " + argumentsText + L"\r\n");
    }
    if (line.error.empty() && line.logFile && !logOpen)
        line.error = L"Cannot use the log file " + logError;
    std::wstring backupError;
    if (line.error.empty() && line.backupFile && !BackupFileUsable(*line.backupFile, backupError))
        line.error = L"Cannot use the backup file " + backupError;
    return logOpen;
}

// Runs what the command line asks once it has been read: the lock taken, the
// log file opened, the commands run. Notes in `verdict` what it finds.
int RunLine(CommandLine& line, const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
            const SystemPlatform::LocalTime& start, bool desktopVisible)
{
    // Taken before the log file is opened: the run that holds it may be
    // writing that very file. A run that does not get it leaves the file alone.
    RunLock lock;
    std::wstring lockMessage;
    RunLock::Outcome locked = RunLock::Outcome::Taken;
    if (line.error.empty() && !line.help)
        locked = lock.Take(lockMessage);
    if (locked == RunLock::Outcome::Held || locked == RunLock::Outcome::Refused || locked == RunLock::Outcome::Failed)
        return NothingDone(locked, lockMessage, line, output, verdict);
    bool logOpen = OpenFiles(line, argumentsText, output, verdict, start);
    if (!line.error.empty()) {
        output.Write(line.error + L"\r\n" + UsageText());
        verdict.error = line.error;
        verdict.reason = VerdictReason::Usage;
        return ExitCodeOf(verdict.reason);
    }
    if (line.help) {
        output.Write(UsageText());
        return ExitCode::Success;
    }
    if (logOpen)
        output.Write(L"Log file: " + output.LogPath() + L"\r\n");
    if (!lockMessage.empty())
        output.Write(lockMessage + L"\r\n");
    bool repairs = std::find(line.commands.begin(), line.commands.end(), UnattendedCommand::Repair) !=
                   line.commands.end();
    UnattendedView view([&output](const std::wstring& text) { output.Write(text); });
    return RunUnattended(view, line,
                         {line.backupFile.value_or(L""), repairs ? L"Repair" : L"Delete",
                          L"command line: " + argumentsText},
                         verdict, desktopVisible);
}

}  // namespace

int RunUnattended(LogTarget& target, const CommandLine& line, const BackupOrder& backup, Verdict& verdict,
                  bool desktopVisible)
{
    CommandLog log(target);
    SuiteState state;
    state.ProgramsUnseen = !desktopVisible;
    StartUp(state, log);
    for (UnattendedCommand command : line.commands) {
        ListCommand(verdict, command);
        Fold(verdict, RunCommand(command, state, log, line, backup));
    }
    return ExitCodeOf(verdict.reason);
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    if (!arguments.empty() && arguments.front() == CreationChildSwitch)
        return RunCreationChild(arguments);
    CommandLine line = ParseCommandLine(arguments);
    const bool desktopVisible = SystemPlatform::DesktopVisible();
    // The programs start this without words only where a window would wait unseen.
    if (arguments.empty() && !desktopVisible)
        line.error = L"No window opens: nobody can see this session's desktop. Give one of these switches.";
    UnattendedOutput output;
    const SystemPlatform::LocalTime t = SystemPlatform::Now();
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    Verdict verdict;
    verdict.computer = SystemPlatform::ComputerName();
    verdict.time = stamp;
    int code = RunLine(line, ArgumentsText(arguments), output, verdict, t, desktopVisible);
    // A log that lacks entries must not pass for a clean run.
    if (code == ExitCode::Success && !output.LogComplete()) {
        verdict.reason = VerdictReason::LogFailed;
        code = ExitCodeOf(verdict.reason);
    }
    verdict.exitCode = code;
    // The last line of the log, and then of the console, whatever happened
    // before: a log that cannot take it makes the run fail, and the console's
    // verdict, after the error, says so.
    std::wstring last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    bool logWhole = output.LogComplete();
    output.WriteLog(last);
    if (logWhole && !output.LogComplete() && code == ExitCode::Success) {
        verdict.reason = VerdictReason::LogFailed;
        code = verdict.exitCode = ExitCodeOf(verdict.reason);
        last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    }
    output.WriteConsoleOnly(last);
    return code;
}
