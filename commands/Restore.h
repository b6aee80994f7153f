#pragma once

#include <functional>
#include <string>

// Puts back the keys and values of the registry file `path` (a backup that
// Delete wrote, or any file of that format) byte for byte, by the names the
// 64-bit view gives them, as the system's editor does. Only keys below
// HKEY_LOCAL_MACHINE\Software\Classes are written, and nothing is deleted.
// The whole file is read and checked first: one that is malformed or names
// any other key writes nothing. Reports through `log`, one entry for each
// tree at the top of the file; false when anything failed.
[[nodiscard]] bool RestoreRegFile(const std::wstring& path, const std::function<void(const std::wstring&)>& log);
