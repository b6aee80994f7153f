// A library of our own for WrennaNeedsAid.dll to import, so that loading it
// depends on a file that can be left out.
#include <windows.h>

extern "C" __declspec(dllexport) int WrennaAidAnswer()
{
    return 42;
}
