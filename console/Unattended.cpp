#include "console/Unattended.h"

#include "console/Form1.h"
#include "console/Restore.h"
#include "console/UnattendedOutput.h"

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
    UnattendedOutput output;
    std::wstring logError;
    bool logOpen = line.logFile && output.OpenLog(*line.logFile, logError);
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
    UnattendedView view([&output](const std::wstring& text) { output.Write(text); }, line.backupFile.value_or(L""));
    int code = RunUnattended(view, line);
    // A log that lacks entries must not pass for a clean run.
    return code == ExitCode::Success && !output.LogComplete() ? ExitCode::CommandFailed : code;
}
