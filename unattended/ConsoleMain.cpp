// Tandrel.com: Tandrel.exe for the console subsystem. cmd and PowerShell wait
// for a console program and see its exit code, and its output goes to their
// console or wherever its standard output leads.
#include "console/WinMain.h"
#include "platform/ArgumentsPlatform.h"
#include "platform/SystemPlatform.h"
#include "unattended/Unattended.h"

int main()
{
    RestrictLibrarySearch();
    std::vector<std::wstring> arguments = ProgramArguments();
    // Without switches it is the window, as Tandrel.exe is, where someone can see it; elsewhere a window would
    // wait unseen until the deployment tool gave up.
    if (!arguments.empty() || !SystemPlatform::DesktopVisible())
        return RunCommandLine(arguments);
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    return RunWindow(GetModuleHandleW(nullptr),
                     (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT);
}
