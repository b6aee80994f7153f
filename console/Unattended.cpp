#include "console/Unattended.h"

#include "console/Form1.h"

int RunUnattended(FormView& view, const std::vector<UnattendedCommand>& commands)
{
    Form1 form(view);
    form.Form_Load();
    bool failed = false;
    for (UnattendedCommand command : commands) {
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
        }
    }
    return failed ? ExitCode::CommandFailed : ExitCode::Success;
}
