#include "unattended/Unattended.h"

#include <algorithm>
#include <cwchar>

#include "check/Check.h"
#include "console/DeleteBackup.h"
#include "console/Form1.h"
#include "helpers/RunIdentity.h"
#include "helpers/RunLock.h"
#include "platform/SystemPlatform.h"
#include "unattended/Repair.h"
#include "unattended/Restore.h"
#include "unattended/UnattendedOutput.h"

namespace {

const wchar_t* const CommandNames[] = {L"load", L"delete", L"create", L"restore", L"check", L"repair"};

// Each once, in the order first run: a line of 300 switches still fits the verdict.
void ListCommand(Verdict& verdict, UnattendedCommand command)
{
    const std::wstring name = CommandNames[static_cast<int>(command)];
    if (std::find(verdict.commands.begin(), verdict.commands.end(), name) == verdict.commands.end())
        verdict.commands.push_back(name);
}

// Keeps the more specific of two reasons: the one a collector should act on.
void NoteReason(Verdict& verdict, VerdictReason reason)
{
    if (verdict.reason == VerdictReason::None || reason < verdict.reason)
        verdict.reason = reason;
}

// Runs what the command line asks once it has been read: the lock taken, the
// log file opened, the commands run. Notes in `verdict` what it finds.
int RunLine(CommandLine& line, const std::wstring& argumentsText, UnattendedOutput& output, Verdict& verdict,
            const SystemPlatform::LocalTime& start)
{
    // Taken before the log file is opened: the run that holds it may be
    // writing that very file. A run that does not get it leaves the file alone.
    RunLock lock;
    std::wstring lockMessage;
    RunLock::Outcome locked = RunLock::Outcome::Taken;
    if (line.error.empty() && !line.help)
        locked = lock.Take(lockMessage);
    // Whatever kept the lock from being taken, nothing is done: not even the log is opened.
    if (locked == RunLock::Outcome::Held || locked == RunLock::Outcome::Refused || locked == RunLock::Outcome::Failed) {
        output.Write(lockMessage + L"\r\n");
        verdict.error = lockMessage;
        // What was not done, for whoever retries it.
        for (UnattendedCommand command : line.commands)
            ListCommand(verdict, command);
        verdict.reason = locked == RunLock::Outcome::Held ? VerdictReason::Busy : VerdictReason::LockRefused;
        return locked == RunLock::Outcome::Held ? ExitCode::AnotherRunInProgress : ExitCode::CommandFailed;
    }
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
    if (!line.error.empty()) {
        output.Write(line.error + L"\r\n" + UsageText());
        verdict.error = line.error;
        verdict.reason = VerdictReason::Usage;
        return ExitCode::UsageError;
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
    UnattendedView view([&output](const std::wstring& text) { output.Write(text); },
                        {line.backupFile.value_or(L""), repairs ? L"Repair" : L"Delete",
                         L"command line: " + argumentsText});
    return RunUnattended(view, line, verdict);
}

}  // namespace

int RunUnattended(FormView& view, const CommandLine& line, Verdict& verdict)
{
    Form1 form(view);
    form.Form_Load();
    auto checked = [&verdict](const CheckReport& report) {
        verdict.problems = report.problems;
        verdict.classesWithProblems = report.classes;
        verdict.healthy = report.problems == 0;
        if (report.problems > 0)
            NoteReason(verdict, report.problems == report.overrides ? VerdictReason::UserOverrides
                                                                    : VerdictReason::Problems);
    };
    auto commandFailed = [&verdict](bool failed) {
        if (failed)
            NoteReason(verdict, VerdictReason::CommandFailed);
    };
    for (UnattendedCommand command : line.commands) {
        ListCommand(verdict, command);
        // Each flag is set exactly when its command ends with the closing line.
        switch (command) {
        case UnattendedCommand::Load:
            form.cmdLoad_Click();
            commandFailed(form.LoadFailed);
            break;
        case UnattendedCommand::Delete:
            form.cmdDelete_Click();
            if (form.BackupFailed)
                NoteReason(verdict, VerdictReason::BackupFailed);
            commandFailed(form.DeleteFailed);
            break;
        case UnattendedCommand::Create:
            form.cmdCreate_Click();
            commandFailed(form.CreateFailed);
            break;
        case UnattendedCommand::Check:
            checked(CheckSuite(form.AppPath, form.SystemPath,
                               [&form](const std::wstring& entry) { form.AddMsg(entry); }));
            form.FlushLog();
            break;
        case UnattendedCommand::Repair: {
            // Load's and Delete's errors inside a repair are expected (a suite not registered at all has
            // nothing to load or delete): its outcome is the last check's.
            CheckReport last;
            RepairOutcome outcome = RepairSuite(form, last);
            checked(last);
            if (outcome == RepairOutcome::CannotRepair)
                NoteReason(verdict, VerdictReason::CannotRepair);
            else if (outcome == RepairOutcome::BackupFailed)
                NoteReason(verdict, VerdictReason::BackupFailed);
            break;
        }
        case UnattendedCommand::Restore:
            commandFailed(
                !RestoreRegFile(*line.restoreFile, [&form](const std::wstring& entry) { form.AddMsg(entry); }));
            form.FlushLog();
            break;
        }
    }
    if (!form.LastBackup.empty())
        verdict.backup = form.LastBackup;
    return verdict.reason == VerdictReason::None ? ExitCode::Success : ExitCode::CommandFailed;
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line = ParseCommandLine(arguments);
    UnattendedOutput output;
    const SystemPlatform::LocalTime t = SystemPlatform::Now();
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    Verdict verdict;
    verdict.computer = SystemPlatform::ComputerName();
    verdict.time = stamp;
    int code = RunLine(line, ArgumentsText(arguments), output, verdict, t);
    // A log that lacks entries must not pass for a clean run.
    if (code == ExitCode::Success && !output.LogComplete()) {
        code = ExitCode::CommandFailed;
        verdict.reason = VerdictReason::LogFailed;
    }
    verdict.exitCode = code;
    // The last line of the log, and then of the console, whatever happened
    // before: a log that cannot take it makes the run fail, and the console's
    // verdict, after the error, says so.
    std::wstring last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    bool logWhole = output.LogComplete();
    output.WriteLog(last);
    if (logWhole && !output.LogComplete() && code == ExitCode::Success) {
        code = verdict.exitCode = ExitCode::CommandFailed;
        verdict.reason = VerdictReason::LogFailed;
        last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    }
    output.WriteConsoleOnly(last);
    return code;
}
