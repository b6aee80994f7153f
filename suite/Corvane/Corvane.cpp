#include "SuiteIds.h"
#include "common/Register.h"

namespace {

const Register::ClassEntry kClasses[] = {
    {L"Corvane.clsMail", L"Corvane Mail", CLSID_Corvane_clsMail},
};

const Register::Component kComponent{"Corvane.exe", Register::Server::Local, LIBID_Corvane, kClasses};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(kComponent);
}
