#include "unattended/Unattended.h"

#include <cwchar>

#include "unattended/Check.h"
#include "console/Form1.h"
#include "unattended/Repair.h"
#include "unattended/Restore.h"
#include "helpers/RunLock.h"
#include "helpers/SystemPlatform.h"
#include "unattended/UnattendedOutput.h"

int RunUnattended(FormView& view, const CommandLine& line)
{
    Form1 form(view);
    form.Form_Load();
    bool failed = false;
    for (UnattendedCommand command : line.commands) {
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
            failed = CheckSuite(form.AppPath, form.SystemPath,
                                [&form](const std::wstring& entry) { form.AddMsg(entry); }) > 0 ||
                     failed;
            form.FlushLog();
            break;
        case UnattendedCommand::Repair:
            failed = !RepairSuite(form) || failed;
            break;
        case UnattendedCommand::Restore:
            failed = !RestoreRegFile(*line.restoreFile, [&form](const std::wstring& entry) { form.AddMsg(entry); }) ||
                     failed;
            form.FlushLog();
            break;
        }
    }
    return failed ? ExitCode::CommandFailed : ExitCode::Success;
}

int RunCommandLine(const std::vector<std::wstring>& arguments)
{
    CommandLine line = ParseCommandLine(arguments);
    // Taken before the log file is opened: the run that holds it may be
    // writing that very file.
    RunLock lock;
    std::wstring lockMessage;
    RunLock::Outcome locked = RunLock::Outcome::Taken;
    if (line.error.empty() && !line.help)
        locked = lock.Take(lockMessage);
    UnattendedOutput output;
    std::wstring logError;
    bool logOpen = line.logFile && output.OpenLog(*line.logFile, logError);
    if (logOpen) {
        // Logs of many machines are told apart by their first line.
        SystemPlatform::LocalTime t = SystemPlatform::Now();
        wchar_t stamp[32];
        std::swprintf(stamp, 32, L"%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        output.WriteLog(L"Tandrel " TANDREL_VERSION L" on " + SystemPlatform::ComputerName() + L", " + stamp +
                        L"\r\n");
    }
    if (locked == RunLock::Outcome::Held) {
        output.Write(lockMessage + L"\r\n");
        return ExitCode::AnotherRunInProgress;
    }
    if (line.error.empty() && line.logFile && !logOpen)
        line.error = L"Cannot use the log file " + logError;
    if (!line.error.empty()) {
        output.Write(line.error + L"\r\n" + UsageText());
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
    int code = RunUnattended(view, line);
    // A log that lacks entries must not pass for a clean run.
    return code == ExitCode::Success && !output.LogComplete() ? ExitCode::CommandFailed : code;
}
