#include "commands/DeleteBackup.h"

#include "helpers/CheckedFolder.h"
#include "helpers/FuncLib.h"
#include "helpers/OutputFile.h"
#include "helpers/RunIdentity.h"
#include "helpers/SecureFolder.h"
#include "platform/SystemPlatform.h"
#include "platform/WinCodes.h"
#include "registry/RegFile.h"
#include "registry/RegKeyOwner.h"
#include "registry/RegTreeRead.h"

namespace {

// The named file, or a new one in the backups folder whose name says when it was made.
bool OpenBackup(OutputFile& out, const BackupOrder& order, const SystemPlatform::LocalTime& t, std::wstring& error,
                std::vector<std::wstring>& othersMayChange)
{
    const std::wstring& file = order.file;
    if (!file.empty()) {
        std::size_t folderEnd = file.find_last_of(L"\\/:");
        std::size_t dot = file.rfind(L'.');
        if (dot == std::wstring::npos || (folderEnd != std::wstring::npos && dot < folderEnd))
            dot = file.size();
        return OpenNewFile(out, file.substr(0, dot), file.substr(dot), error);
    }
    std::wstring folder;
    if (!SecureTandrelFolder(L"Backups", folder, error, &othersMayChange))
        return false;
    return OpenNewFile(out, folder + L"\\" + order.command + L"-" + NameStamp(t), L".reg", error);
}

}  // namespace

bool BackupFileUsable(const std::wstring& file, std::wstring& error)
{
    std::wstring full;
    long code = FilePlatform::FullPath(file, full);
    FileRefusal refusal = FileRefusal::None;
    std::wstring reason;
    CheckedFolder checked;
    if (code == 0)
        code = OpenCheckedFolder(full, checked, reason, refusal);
    if (code == 0 && reason.empty() && refusal == FileRefusal::None)
        code = FilePlatform::LookAtName(full, refusal);
    if ((code == 0 || code == WinCode::FileNotFound) && reason.empty() && refusal == FileRefusal::None)
        return true;
    error = (full.empty() ? file : full) + L": " +
            (!reason.empty()                ? reason
             : refusal != FileRefusal::None ? OutputFile::RefusalText(refusal)
                                            : FilePlatform::ErrorText(code));
    return false;
}

DeleteBackup BackUpForDelete(const std::vector<std::wstring>& progIds, const std::vector<std::wstring>& clsids,
                             const std::vector<std::wstring>& typeLibs, const BackupOrder& order)
{
    DeleteBackup backup;
    std::vector<RegKeyData> keys;
    auto read = [&](const std::wstring& parentPath, const std::wstring& name) {
        const std::wstring tree = TreeName(parentPath, name);
        // What Delete refuses or has already named is not read again.
        if (IsBlank(name) || name.find(L'\\') != std::wstring::npos || backup.trees.count(tree) ||
            backup.left.count(tree))
            return;
        // A tree that could not be looked at is not deleted either.
        RegKeyOwner parent;
        if (!OpenRegKey(RegKey::LocalMachine, parentPath, *parent.put())) {
            backup.left[tree] = L"the backup could not read all of it";
            return;
        }
        std::vector<RegKeyData> treeKeys;
        HeldRegTree held;
        long code = held.Read(parent.get(), name, treeKeys);
        if (code != 0 && code != 2)
            backup.left[tree] = L"the backup could not read all of it";
        // A name or value the file cannot hold would be lost by a restore that calls itself whole.
        for (const RegKeyData& key : treeKeys) {
            if (std::wstring what = CannotHold(key); !what.empty() && !backup.left.count(tree))
                backup.left[tree] = what + L", which the backup cannot hold";
        }
        if (code == 0 && !backup.left.count(tree))
            backup.trees.emplace(tree, std::move(held));
        keys.insert(keys.end(), treeKeys.begin(), treeKeys.end());
    };
    for (std::size_t i = 0; i < progIds.size(); ++i) {
        read(TypeLibParent, i < typeLibs.size() ? typeLibs[i] : L"");
        read(ClsidParent, i < clsids.size() ? clsids[i] : L"");
        read(ProgIdParent, progIds[i]);
    }
    if (keys.empty())
        return backup;

    OutputFile out;
    const SystemPlatform::LocalTime now = SystemPlatform::Now();
    if (!OpenBackup(out, order, now, backup.error, backup.othersMayChange))
        return backup;
    long code = out.Write(EncodeUtf16File(FormatRegFile(keys, RunIdentity(now) + L"; " + order.origin)));
    if (code == 0)
        code = out.Flush();
    if (code != 0)
        backup.error = out.FullPath() + L": " + FilePlatform::ErrorText(code);
    else
        backup.path = out.FullPath();
    return backup;
}
