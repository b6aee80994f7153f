#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Sulvary.clsPhone", L"Sulvary Phone", CLSID_Sulvary_clsPhone},
};

const Register::Component kComponent{"Sulvary.exe", Register::Server::Local, LIBID_Sulvary, kClasses};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(kComponent);
}
