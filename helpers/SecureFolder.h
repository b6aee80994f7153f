#pragma once

#include <string>

#include "platform/FilePlatform.h"

// Makes `path` a folder that only administrators can change: created with a
// descriptor that lets only Administrators and SYSTEM in, or, when it is
// there already, owned by Administrators, SYSTEM, TrustedInstaller or the
// account Tandrel runs as, with nobody else allowed to change it (such a
// folder's list is reset when its owner is trusted). A standard user can
// create folders where Tandrel keeps its own, and plant what an elevated
// program would then write through. On failure `error` names the folder and
// says why.
[[nodiscard]] bool SecureFolder(const std::wstring& path, std::wstring& error);

// Administrators, SYSTEM, TrustedInstaller, or `self`, the account Tandrel runs as.
[[nodiscard]] bool TrustedAccount(const Account& account, const std::wstring& self);

// The first account other than those that may change the file or folder: its
// owner when that is not trusted (an owner may always change the permissions),
// then any that its list lets change it. Nothing when there is none.
[[nodiscard]] const Account* Stranger(const FileAccess& access, const std::wstring& self);
