#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Wrenna.clsIFace", L"Wrenna Interface", CLSID_Wrenna_clsIFace},
};

const Register::Component kComponent{"Wrenna.dll", Register::Server::InProc, LIBID_Wrenna, kClasses};

}  // namespace

STDAPI DllRegisterServer()
{
    return Register::RegisterLibrary(kComponent);
}

STDAPI DllUnregisterServer()
{
    return Register::UnregisterLibrary(kComponent);
}
