#include "console/WinMain.h"

#include <commctrl.h>

#include "console/Form1Window.h"
#include "platform/ArgumentsPlatform.h"
#include "platform/SystemPlatform.h"

void RestrictLibrarySearch()
{
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesProc>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryA("");
}

int RunWindow(HINSTANCE instance, int showCommand)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Form1Window form;
    if (!form.Create(instance, showCommand))
        return 1;

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Gives the window the keyboard of a dialog: Tab between controls and
        // the buttons' access keys.
        if (!IsDialogMessageA(form.Window(), &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch();
    std::vector<std::wstring> arguments = ProgramArguments();
    // A window on a desktop that nobody sees would wait there until the deployment tool gave up.
    return arguments.empty() && SystemPlatform::DesktopVisible() ? RunWindow(instance, showCommand)
                                                                 : RunCommandLine(arguments);
}
