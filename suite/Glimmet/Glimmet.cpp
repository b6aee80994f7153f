#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Glimmet.ctlGlimmet", L"Glimmet Control", CLSID_Glimmet_ctlGlimmet},
};

const Register::Component ThisComponent{"Glimmet.ocx", Register::Server::InProc, LIBID_Glimmet, ClassEntries};

}  // namespace

const Register::Component& Register::ThisLibrary()
{
    return ThisComponent;
}

STDAPI DllRegisterServer()
{
    return Register::RegisterLibrary(ThisComponent);
}

STDAPI DllUnregisterServer()
{
    return Register::UnregisterLibrary(ThisComponent);
}
