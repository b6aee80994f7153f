// Built beside Aid.cpp as a later WrennaAid.dll, only for its import library:
// linking against it gives CorvaneWants.exe an import the shipped one lacks.
#include <windows.h>

extern "C" __declspec(dllexport) int WrennaAidLater()
{
    return 43;
}
