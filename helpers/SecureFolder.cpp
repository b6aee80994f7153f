#include "helpers/SecureFolder.h"

#include <algorithm>
#include <array>

#include "helpers/FuncLib.h"

#include "helpers/OutputFile.h"
#include "platform/FilePlatform.h"
#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"

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

std::optional<std::wstring> TandrelFolder(const std::wstring& name)
{
    std::optional<std::wstring> base = SystemPlatform::ProgramDataFolder();
    if (!base)
        return std::nullopt;
    return AddBackslash(*base) + L"Tandrel\\" + name;
}

std::optional<std::wstring> BackupsFolder()
{
    return TandrelFolder(L"Backups");
}

bool SecureTandrelFolder(const std::wstring& name, std::wstring& folder, std::wstring& error,
                         std::vector<std::wstring>* othersMayChange)
{
    std::optional<std::wstring> path = TandrelFolder(name);
    if (!path) {
        error = L"the program data folder is not known.";
        return false;
    }
    folder = *path;
    const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\'));
    return SecureFolder(parent, error) && SecureFolder(folder, error, othersMayChange);
}

namespace {

// The files in a folder whose permissions were just reset that others may still change.
std::vector<std::wstring> FilesOthersMayChange(const std::wstring& folder, const std::wstring& self)
{
    std::vector<std::wstring> found;
    std::vector<std::wstring> names;
    if (long code = FilePlatform::ListFiles(folder, names)) {
        found.push_back(folder + L": its files cannot be listed: " + FilePlatform::ErrorText(code));
        return found;
    }
    for (const std::wstring& name : names) {
        const std::wstring file = folder + L"\\" + name;
        FileAccess access;
        const Account* stranger = nullptr;
        long code = FilePlatform::ReadFolderAccess(file, access);
        if (code == 0 && (stranger = Stranger(access, self)) == nullptr)
            continue;
        found.push_back(file + L": " +
                        (code != 0 ? L"its permissions cannot be read: " + FilePlatform::ErrorText(code)
                                   : AccountText(*stranger) + L" may change it, so it is no backup to restore."));
    }
    return found;
}

}  // namespace

std::wstring AccountText(const Account& account)
{
    return account.name.empty() ? account.sid : account.name;
}

bool SecureFolder(const std::wstring& path, std::wstring& error, std::vector<std::wstring>* othersMayChange)
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
    if (code == 0 && Stranger(access, self) == nullptr) {
        // Whatever was put there while others could is left as it was, and named.
        if (othersMayChange)
            *othersMayChange = FilesOthersMayChange(path, self);
        return true;
    }
    error = path + L": " + name + L" may change it, and its permissions could not be reset" +
            (code != 0 ? L": " + FilePlatform::ErrorText(code) : std::wstring(L"."));
    return false;
}

FolderDoubt ServerFolderDoubt(const std::wstring& file)
{
    using Kind = FolderDoubt::Kind;
    std::size_t separator = file.find_last_of(L'\\');
    if (!IsFullPath(file) || separator == std::wstring::npos)
        return {Kind::NoFullPath, L"which is no full path: the system looks for it in folders that others may change.",
                L""};
    const std::wstring folder = file.substr(0, separator);
    FileAccess access;
    long code = FilePlatform::ReadFolderAccess(folder, access);
    if (code == WinCode::FileNotFound || code == WinCode::PathNotFound)
        return {Kind::Missing, L"whose folder " + folder + L" is not there: whoever creates it chooses what is loaded.",
                folder};
    if (code != 0)
        return {Kind::Unreadable, L"whose folder's permissions cannot be read: " + FilePlatform::ErrorText(code), folder};
    if (const Account* stranger = Stranger(access, SystemPlatform::AccountSid()))
        return {Kind::Stranger, L"in the folder " + folder + L", which " + AccountText(*stranger) + L" may change.",
                folder};
    return {Kind::None, L"", folder};
}
