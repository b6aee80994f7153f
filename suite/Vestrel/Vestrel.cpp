#include "SuiteIds.h"
#include "common/Objects.h"

namespace {

const Register::ClassEntry ClassEntries[] = {
    {L"Vestrel.clsIFace", L"Vestrel Interface", CLSID_Vestrel_clsIFace},
    {L"Vestrel.clsEMailIFace", L"Vestrel E-Mail Interface", CLSID_Vestrel_clsEMailIFace},
    {L"Vestrel.clsLinkIFace", L"Vestrel Link Interface", CLSID_Vestrel_clsLinkIFace},
};

const Register::Component ThisComponent{"Vestrel.exe", Register::Server::Local, LIBID_Vestrel, ClassEntries};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return Register::RunLocalServer(ThisComponent);
}
