#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Corvane.clsMail", L"Corvane Mail", CLSID_Corvane_clsMail},
};

const Register::Component ThisComponent{"Corvane.exe", Register::Server::Local, LIBID_Corvane, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
