#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Omberly.clsOmberly", L"Omberly Application", CLSID_Omberly_clsOmberly},
};

const Register::Component ThisComponent{"Omberly.exe", Register::Server::Local, LIBID_Omberly, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
