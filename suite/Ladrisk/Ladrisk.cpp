#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Ladrisk.clsIFace", L"Ladrisk Interface", CLSID_Ladrisk_clsIFace},
};

const Register::Component kComponent{"Ladrisk.exe", Register::Server::Local, LIBID_Ladrisk, kClasses};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(kComponent);
}
