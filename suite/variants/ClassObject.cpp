// The two entry points a server of the other bitness is probed for beside the
// registration pair; Wrenna hands out no objects, so neither does this copy.
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
