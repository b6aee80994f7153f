#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Glimmet.ctlGlimmet", L"Glimmet Control", CLSID_Glimmet_ctlGlimmet},
};

const Register::Component kComponent{"Glimmet.ocx", Register::Server::InProc, LIBID_Glimmet, kClasses};

}  // namespace

STDAPI DllRegisterServer()
{
    return Register::RegisterLibrary(kComponent);
}

STDAPI DllUnregisterServer()
{
    return Register::UnregisterLibrary(kComponent);
}
