#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Wrenna.clsIFace", L"Wrenna Interface", CLSID_Wrenna_clsIFace},
};

const Register::Component ThisComponent{"Wrenna.dll", Register::Server::InProc, LIBID_Wrenna, ClassEntries};

}  // namespace

STDAPI DllRegisterServer()
{
    return Register::RegisterLibrary(ThisComponent);
}

STDAPI DllUnregisterServer()
{
    return Register::UnregisterLibrary(ThisComponent);
}
