#pragma once

#include <string>

// Makes `path` a folder that only administrators can change: created with a
// descriptor that lets only Administrators and SYSTEM in, or, when it is
// there already, owned by Administrators, SYSTEM, TrustedInstaller or the
// account Tandrel runs as, with nobody else allowed to change it (such a
// folder's list is reset when its owner is trusted). A standard user can
// create folders where Tandrel keeps its own, and plant what an elevated
// program would then write through. On failure `error` names the folder and
// says why.
[[nodiscard]] bool SecureFolder(const std::wstring& path, std::wstring& error);
