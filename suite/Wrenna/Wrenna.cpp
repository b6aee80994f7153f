#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Wrenna.clsIFace", L"Wrenna Interface", CLSID_Wrenna_clsIFace},
};

const Register::Component ThisComponent{"Wrenna.dll", Register::Server::InProc, LIBID_Wrenna, ClassEntries};

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
