#include "helpers/SecureFolder.h"

#include <algorithm>
#include <array>

#include "helpers/OutputFile.h"
#include "platform/FilePlatform.h"
#include "platform/SystemPlatform.h"

namespace {

constexpr std::array<const wchar_t*, 3> TrustedAccounts{
    L"S-1-5-32-544",  // Administrators
    L"S-1-5-18",      // SYSTEM
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};
// Stands for whoever creates something inside: an administrator, here.
constexpr wchar_t CreatorOwner[] = L"S-1-3-0";

}  // namespace

bool TrustedAccount(const Account& account, const std::wstring& self)
{
    return (!self.empty() && account.sid == self) ||
           std::find(TrustedAccounts.begin(), TrustedAccounts.end(), account.sid) != TrustedAccounts.end();
}

const Account* Stranger(const FileAccess& access, const std::wstring& self)
{
    if (!TrustedAccount(access.owner, self))
        return &access.owner;
    for (const Account& writer : access.writers) {
        if (!TrustedAccount(writer, self) && writer.sid != CreatorOwner)
            return &writer;
    }
    return nullptr;
}

bool SecureFolder(const std::wstring& path, std::wstring& error)
{
    FileRefusal refusal = FileRefusal::None;
    FileAccess access;
    long code = FilePlatform::CreateFolder(path, refusal);
    if (code == 0 && refusal == FileRefusal::None)
        code = FilePlatform::ReadFolderAccess(path, access);
    if (code != 0 || refusal != FileRefusal::None) {
        error = path + L": " + (code != 0 ? FilePlatform::ErrorText(code) : OutputFile::RefusalText(refusal));
        return false;
    }
    const std::wstring self = SystemPlatform::AccountSid();
    if (!TrustedAccount(access.owner, self)) {
        error = path + L": its owner is " + access.owner.name + L", not Administrators, SYSTEM, TrustedInstaller or "
                L"the account Tandrel runs as, so others may have changed it.";
        return false;
    }
    const Account* stranger = Stranger(access, self);
    if (stranger == nullptr)
        return true;
    const std::wstring name = stranger->name;
    code = FilePlatform::ProtectFolder(path);
    if (code == 0)
        code = FilePlatform::ReadFolderAccess(path, access);
    if (code == 0 && Stranger(access, self) == nullptr)
        return true;
    error = path + L": " + name + L" may change it, and its permissions could not be reset" +
            (code != 0 ? L": " + FilePlatform::ErrorText(code) : std::wstring(L"."));
    return false;
}
