#include "unattended/Unattended.h"

#include <algorithm>

#include "commands/Commands.h"
#include "commands/Repair.h"
#include "commands/Verify.h"
#include "helpers/RunGates.h"
#include "helpers/RunIdentity.h"
#include "helpers/RunLock.h"
#include "platform/SystemPlatform.h"
#include "unattended/RunRecord.h"
#include "unattended/UnattendedOutput.h"

namespace {

// Each once, in the order first run: a line of 300 switches still fits the verdict.
void ListCommand(Verdict& verdict, UnattendedCommand command)
{
    const std::wstring name = CommandName(command);
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

// A run stopped before its commands: it names what it was not asked to do, for whoever retries it. A run
// stopped by the lock opens no log at all, the one named or the run's own, whose folder the run that holds the
// lock is pruning; the run's event records it.
int NothingDone(VerdictReason reason, const std::wstring& message, const CommandLine& line,
                UnattendedOutput& output, Verdict& verdict)
{
    output.Write(message + L"\r\n");
    verdict.error = message;
    for (UnattendedCommand command : line.commands)
        ListCommand(verdict, command);
    verdict.reason = reason;
    return ExitCodeOf(verdict.reason);
}

// Logs of many machines, accounts and runs are told apart by their first lines.
void StartLog(const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
              const SystemPlatform::LocalTime& start)
{
    verdict.log = output.LogPath();
    output.WriteLog(RunIdentity(start) + L"\r\nCommand line: " + argumentsText + L"\r\n");
}

// Opens the log file the line names, or the run's own, and checks the backup file it names; a file named that
// cannot be used is the line's error. True when a log is open.
bool OpenFiles(CommandLine& line, const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
               const SystemPlatform::LocalTime& start, DefaultLog& defaultLog)
{
    // RunLine has taken the lock for every line that can run: only such a run removes old logs.
    const bool asks = line.help || line.version;
    const bool locked = line.error.empty() && !asks;
    std::wstring logError;
    bool logOpen = line.logFile && output.OpenLog(*line.logFile, logError);
    if (line.error.empty() && line.logFile && !logOpen)
        line.error = L"Cannot use the log file " + logError;
    std::wstring backupError;
    if (line.error.empty() && line.backupFile && !BackupFileUsable(*line.backupFile, backupError))
        line.error = L"Cannot use the backup file " + backupError;
    // Named after the line's checks, so that a line found wrong gives a usage log.
    if (!line.logFile && !asks)
        logOpen = (defaultLog = OpenDefaultLog(output, line, start, locked)).open;
    if (logOpen)
        StartLog(argumentsText, output, verdict, start);
    return logOpen;
}

// Whether the line would change the suite's registration, which an installer's transaction may be changing too.
bool Changes(const CommandLine& line)
{
    return std::any_of(line.commands.begin(), line.commands.end(), [](UnattendedCommand command) {
        return command == UnattendedCommand::Delete || command == UnattendedCommand::Create ||
               command == UnattendedCommand::Repair || command == UnattendedCommand::Restore;
    });
}

// Runs what the command line asks once it has been read: the lock taken, the
// log file opened, the commands run. Notes in `verdict` what it finds.
int RunLine(CommandLine& line, const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
            const SystemPlatform::LocalTime& start, bool desktopVisible)
{
    bool runs = line.error.empty() && !line.help && !line.version;
    // Told before anything else is tried: without elevation even the lock would be refused, for a reason that
    // says nothing of why. The log named is written where it can be. The run's own is not: made by this account,
    // the logs folder would be one that others than administrators can change.
    if (std::wstring notElevated = runs ? NotElevatedLine() : L""; !notElevated.empty()) {
        std::wstring logError;
        if (line.logFile && output.OpenLog(*line.logFile, logError)) {
            StartLog(argumentsText, output, verdict, start);
            output.Write(L"Log file: " + output.LogPath() + L"\r\n");
        }
        return NothingDone(VerdictReason::NotElevated, notElevated, line, output, verdict);
    }
    // Taken before the log file is opened: the run that holds it may be
    // writing that very file. A run that does not get it leaves the file alone.
    RunLock lock;
    std::wstring lockMessage;
    RunLock::Outcome locked = RunLock::Outcome::Taken;
    if (runs)
        locked = lock.Take(lockMessage);
    if (locked == RunLock::Outcome::Held || locked == RunLock::Outcome::Refused || locked == RunLock::Outcome::Failed)
        return NothingDone(locked == RunLock::Outcome::Held ? VerdictReason::Busy : VerdictReason::LockRefused,
                           lockMessage, line, output, verdict);
    DefaultLog defaultLog;
    bool logOpen = OpenFiles(line, argumentsText, output, verdict, start, defaultLog);
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
    if (line.version) {
        output.Write(ProgramTitle() + L"\r\n");
        return ExitCode::Success;
    }
    if (logOpen)
        output.Write(L"Log file: " + output.LogPath() + L"\r\n");
    if (!defaultLog.notes.empty())
        output.Write(defaultLog.notes);
    if (!lockMessage.empty())
        output.Write(lockMessage + L"\r\n");
    // Asked with the lock held, so that the log names it; a run that only reads goes on.
    if (std::wstring busy = Changes(line) ? InstallerBusyLine() : L""; !busy.empty())
        return NothingDone(VerdictReason::InstallerBusy, busy, line, output, verdict);
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
    Verdict verdict;
    verdict.computer = SystemPlatform::ComputerName();
    verdict.time = IsoTime(t);
    int code = RunLine(line, ArgumentsText(arguments), output, verdict, t, desktopVisible);
    // A log that lacks entries must not pass for a clean run.
    if (code == ExitCode::Success && !output.LogComplete()) {
        verdict.reason = VerdictReason::LogFailed;
        code = ExitCodeOf(verdict.reason);
    }
    verdict.exitCode = code;
    // The event carries the verdict as it stands here; what kept it from the Application log goes in the log,
    // before the verdict, its last line. /? and /version ask nothing of the machine, and are no run to record.
    if ((!line.help && !line.version) || !line.error.empty()) {
        if (std::wstring notes = RecordEvent(FormatVerdict(verdict, L"" TANDREL_VERSION), verdict.reason, code);
            !notes.empty())
            output.Write(notes);
        if (code == ExitCode::Success && !output.LogComplete()) {
            verdict.reason = VerdictReason::LogFailed;
            code = verdict.exitCode = ExitCodeOf(verdict.reason);
        }
    }
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
