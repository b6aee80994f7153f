#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Glimmet.ctlGlimmet", L"Glimmet Control", CLSID_Glimmet_ctlGlimmet},
};

const Register::Component ThisComponent{"Glimmet.ocx", Register::Server::InProc, LIBID_Glimmet, ClassEntries};

}  // namespace

STDAPI DllRegisterServer()
{
    return Register::RegisterLibrary(ThisComponent);
}

STDAPI DllUnregisterServer()
{
    return Register::UnregisterLibrary(ThisComponent);
}
