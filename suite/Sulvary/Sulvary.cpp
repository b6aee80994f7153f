#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Sulvary.clsPhone", L"Sulvary Phone", CLSID_Sulvary_clsPhone},
};

const Register::Component ThisComponent{"Sulvary.exe", Register::Server::Local, LIBID_Sulvary, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
