#include "helpers/RunGates.h"

#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"

namespace {

constexpr wchar_t InstallerLock[] = L"Global\\_MSIExecute";

}  // namespace

std::wstring NotElevatedLine()
{
    bool elevated = false, administrator = false;
    if (SystemPlatform::Elevation(elevated, administrator) != 0 || (elevated && administrator))
        return {};
    return L"ERROR: Tandrel must run as an administrator, elevated; nothing was done.";
}

std::wstring InstallerBusyLine()
{
    // A lock whose list keeps this account out is still there; another kind of object at the name is no
    // installer's, and holds nothing up.
    long code = SystemPlatform::FindMutex(InstallerLock);
    if (code != WinCode::Success && code != WinCode::AccessDenied)
        return {};
    return L"ERROR: A Windows Installer transaction is in progress (" + std::wstring(InstallerLock) +
           L" is held); nothing was done. Run Tandrel again when it has ended.";
}
