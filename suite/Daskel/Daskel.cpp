#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Daskel.clsDaskel", L"Daskel Engine", CLSID_Daskel_clsDaskel},
    {L"Daskel.clsEntities", L"Daskel Entities", CLSID_Daskel_clsEntities},
    {L"Daskel.clsEntity", L"Daskel Entity", CLSID_Daskel_clsEntity},
    {L"Daskel.clsXFields", L"Daskel Extra Fields", CLSID_Daskel_clsXFields},
    {L"Daskel.clsXField", L"Daskel Extra Field", CLSID_Daskel_clsXField},
};

const Register::Component ThisComponent{"Daskel.dll", Register::Server::InProc, LIBID_Daskel, ClassEntries};

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
