#include "unattended/Unattended.h"

#include <algorithm>
#include <cwchar>

#include "check/Check.h"
#include "console/Form1.h"
#include "helpers/RunLock.h"
#include "platform/SystemPlatform.h"
#include "unattended/Repair.h"
#include "unattended/Restore.h"
#include "unattended/UnattendedOutput.h"

namespace {

const wchar_t* const CommandNames[] = {L"load", L"delete", L"create", L"restore", L"check", L"repair"};

// Runs what the command line asks once it has been read: the lock taken, the
// log file opened, the commands run. Notes in `verdict` what it finds.
int RunLine(CommandLine& line, UnattendedOutput& output, Verdict& verdict, const std::wstring& stamp)
{
    // Taken before the log file is opened: the run that holds it may be
    // writing that very file. A run that does not get it leaves the file alone.
    RunLock lock;
    std::wstring lockMessage;
    RunLock::Outcome locked = RunLock::Outcome::Taken;
    if (line.error.empty() && !line.help)
        locked = lock.Take(lockMessage);
    if (locked == RunLock::Outcome::Held || locked == RunLock::Outcome::Refused) {
        output.Write(lockMessage + L"\r\n");
        verdict.error = lockMessage;
        return locked == RunLock::Outcome::Held ? ExitCode::AnotherRunInProgress : ExitCode::CommandFailed;
    }
    std::wstring logError;
    bool logOpen = line.logFile && output.OpenLog(*line.logFile, logError);
    if (logOpen) {
        verdict.log = output.LogPath();
        // Logs of many machines are told apart by their first line.
        output.WriteLog(L"Tandrel " TANDREL_VERSION L" on " + verdict.computer + L", " + stamp + L"\r\n");
    }
    if (line.error.empty() && line.logFile && !logOpen)
        line.error = L"Cannot use the log file " + logError;
    if (!line.error.empty()) {
        output.Write(line.error + L"\r\n" + UsageText());
        verdict.error = line.error;
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
    if (locked == RunLock::Outcome::Failed)
        return ExitCode::CommandFailed;
    UnattendedView view([&output](const std::wstring& text) { output.Write(text); }, line.backupFile.value_or(L""));
    return RunUnattended(view, line, verdict);
}

}  // namespace

int RunUnattended(FormView& view, const CommandLine& line, Verdict& verdict)
{
    Form1 form(view);
    form.Form_Load();
    bool failed = false;
    auto checked = [&verdict](const CheckReport& report) {
        verdict.problems = report.problems;
        verdict.classesWithProblems = report.classes;
        return report.problems > 0;
    };
    for (UnattendedCommand command : line.commands) {
        // Listed once however often it runs: a line of 300 switches still fits the verdict.
        const std::wstring name = CommandNames[static_cast<int>(command)];
        if (std::find(verdict.commands.begin(), verdict.commands.end(), name) == verdict.commands.end())
            verdict.commands.push_back(name);
        // Each flag is set exactly when its command ends with the closing line.
        switch (command) {
        case UnattendedCommand::Load:
            form.cmdLoad_Click();
            failed = failed || form.LoadFailed;
            break;
        case UnattendedCommand::Delete:
            form.cmdDelete_Click();
            failed = failed || form.DeleteFailed;
            break;
        case UnattendedCommand::Create:
            form.cmdCreate_Click();
            failed = failed || form.CreateFailed;
            break;
        case UnattendedCommand::Check:
            failed = checked(CheckSuite(form.AppPath, form.SystemPath,
                                        [&form](const std::wstring& entry) { form.AddMsg(entry); })) ||
                     failed;
            form.FlushLog();
            break;
        case UnattendedCommand::Repair: {
            CheckReport last;
            failed = !RepairSuite(form, last) || failed;
            checked(last);
            break;
        }
        case UnattendedCommand::Restore:
            failed = !RestoreRegFile(*line.restoreFile, [&form](const std::wstring& entry) { form.AddMsg(entry); }) ||
                     failed;
            form.FlushLog();
            break;
        }
    }
    if (!form.LastBackup.empty())
        verdict.backup = form.LastBackup;
    return failed ? ExitCode::CommandFailed : ExitCode::Success;
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line = ParseCommandLine(arguments);
    UnattendedOutput output;
    SystemPlatform::LocalTime t = SystemPlatform::Now();
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    Verdict verdict;
    verdict.computer = SystemPlatform::ComputerName();
    verdict.time = stamp;
    int code = RunLine(line, output, verdict, stamp);
    // A log that lacks entries must not pass for a clean run.
    if (code == ExitCode::Success && !output.LogComplete())
        code = ExitCode::CommandFailed;
    verdict.exitCode = code;
    // The last line of the log, and then of the console, whatever happened
    // before: a log that cannot take it makes the run fail, and the console's
    // verdict, after the error, says so.
    std::wstring last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    bool logWhole = output.LogComplete();
    output.WriteLog(last);
    if (logWhole && !output.LogComplete() && code == ExitCode::Success) {
        code = verdict.exitCode = ExitCode::CommandFailed;
        last = FormatVerdict(verdict, L"" TANDREL_VERSION) + L"\r\n";
    }
    output.WriteConsoleOnly(last);
    return code;
}
