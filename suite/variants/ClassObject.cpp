// The two entry points a server of the other bitness is probed for beside the
// registration pair. No caller of that bitness is meant to load this copy, so
// it hands out nothing.
#include <windows.h>

STDAPI DllGetClassObject(REFCLSID, REFIID, void** object)
{
    if (object)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return S_OK;
}
