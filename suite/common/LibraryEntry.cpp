// The entry points through which a client creates a library's classes.
#include "common/Objects.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    return reason != DLL_PROCESS_ATTACH || Register::LibraryLoads(Register::ThisLibrary());
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return Register::GetClassObject(Register::ThisLibrary(), clsid, iid, object);
}

STDAPI DllCanUnloadNow()
{
    return Register::CanUnloadNow();
}
