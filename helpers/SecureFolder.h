#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/FilePlatform.h"

// Makes `path` a folder that only administrators can change: created with a
// descriptor that lets only Administrators and SYSTEM in, or, when it is
// there already, owned by Administrators, SYSTEM, TrustedInstaller or the
// account Tandrel runs as, with nobody else allowed to change it (such a
// folder's list is reset when its owner is trusted). A standard user can
// create folders where Tandrel keeps its own, and plant what an elevated
// program would then write through. On failure `error` names the folder and
// says why.
// When the list is reset, the files already inside keep their owners and
// lists; each that others may still change is named in `othersMayChange`.
[[nodiscard]] bool SecureFolder(const std::wstring& path, std::wstring& error,
                                std::vector<std::wstring>* othersMayChange = nullptr);

// Tandrel\<name> in the machine's program data; nothing when that is not known.
[[nodiscard]] std::optional<std::wstring> TandrelFolder(const std::wstring& name);
// Tandrel\Backups, where Delete keeps its backups.
[[nodiscard]] std::optional<std::wstring> BackupsFolder();

// Tandrel\<name> in the machine's program data, where every administrator finds it whoever ran Tandrel, made or
// checked with SecureFolder, Tandrel first: `folder` is its path. On failure `error` names the folder and says why.
[[nodiscard]] bool SecureTandrelFolder(const std::wstring& name, std::wstring& folder, std::wstring& error,
                                       std::vector<std::wstring>* othersMayChange = nullptr);

// An account as the log names it: its name, or its SID when it has none.
[[nodiscard]] std::wstring AccountText(const Account& account);

// Administrators, SYSTEM, TrustedInstaller, or `self`, the account Tandrel runs as.
[[nodiscard]] bool TrustedAccount(const Account& account, const std::wstring& self);

// The first account other than those that may change the file or folder: its
// owner when that is not trusted (an owner may always change the permissions),
// then any that its list lets change it. Nothing when there is none.
[[nodiscard]] const Account* Stranger(const FileAccess& access, const std::wstring& self);

// Whether others than administrators choose what is loaded from the folder that holds `file`.
struct FolderDoubt {
    enum class Kind { None, NoFullPath, Missing, Unreadable, Stranger } kind = Kind::None;
    std::wstring text;   // the restore's phrase for it ("in the folder X, which Y may change." ...); "" for None
    std::wstring folder; // the folder judged
};
[[nodiscard]] FolderDoubt ServerFolderDoubt(const std::wstring& file);
