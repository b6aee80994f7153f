#pragma once

#include <string>

// What must hold before a run touches anything, each asked of the system as the run starts: an empty answer
// lets it go on, otherwise the line that says why nothing was done.

// Tandrel's token is an administrator's, elevated. A token that cannot be asked lets the run go on: the run lock,
// which only an administrator can take, then stops it with the system's own reason.
[[nodiscard]] std::wstring NotElevatedLine();

// No Windows Installer transaction is in progress: the installer holds Global\_MSIExecute while one runs, and
// deployment tools wait for it rather than change what it is changing.
[[nodiscard]] std::wstring InstallerBusyLine();
