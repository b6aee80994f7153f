#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Brenlow.clsIFace", L"Brenlow Interface", CLSID_Brenlow_clsIFace},
};

const Register::Component kComponent{"Brenlow.exe", Register::Server::Local, LIBID_Brenlow, kClasses};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(kComponent);
}
