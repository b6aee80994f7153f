#include <windows.h>
#include <commctrl.h>

#include "console/Form1Window.h"
#include "unattended/Unattended.h"
#include "unattended/UnattendedWin32.h"

namespace {

// The program runs elevated: libraries are loaded from the system directory
// only, never from the program's own folder or the current one.
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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch();

    std::vector<std::wstring> arguments = ProgramArguments();
    if (!arguments.empty())
        return RunCommandLine(arguments);

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
