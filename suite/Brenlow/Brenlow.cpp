#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Brenlow.clsIFace", L"Brenlow Interface", CLSID_Brenlow_clsIFace},
};

const Register::Component ThisComponent{"Brenlow.exe", Register::Server::Local, LIBID_Brenlow, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
