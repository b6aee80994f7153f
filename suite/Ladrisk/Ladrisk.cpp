#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Ladrisk.clsIFace", L"Ladrisk Interface", CLSID_Ladrisk_clsIFace},
};

const Register::Component ThisComponent{"Ladrisk.exe", Register::Server::Local, LIBID_Ladrisk, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
