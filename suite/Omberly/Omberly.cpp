#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Omberly.clsOmberly", L"Omberly Application", CLSID_Omberly_clsOmberly},
};

const Register::Component kComponent{"Omberly.exe", Register::Server::Local, LIBID_Omberly, kClasses};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(kComponent);
}
