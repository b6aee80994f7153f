// Called only when given an argument, so the import by name survives the
// linker while starting the program without one does nothing.
#include <windows.h>

extern "C" __declspec(dllimport) int WrennaAidLater();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (commandLine && *commandLine)
        return WrennaAidLater();
    return 0;
}
