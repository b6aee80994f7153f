#pragma once

#include <optional>
#include <string>

// System directories and the environment. As with the registry, the Windows
// build links the Win32 adapter and the host build an in-memory stand-in.
// Each asks its "A" call again at the size it reports and hands back the
// finished text; nothing when the call fails.
namespace SystemPlatform {

// GetWindowsDirectoryA and GetSystemDirectoryA.
[[nodiscard]] std::optional<std::wstring> WindowsDirectory();
[[nodiscard]] std::optional<std::wstring> SystemDirectory();

// The folder that holds the running program's file (GetModuleFileNameA).
[[nodiscard]] std::optional<std::wstring> ProgramFolder();

// ExpandEnvironmentStringsA: the whole expansion, however long.
[[nodiscard]] std::optional<std::wstring> ExpandStrings(const std::wstring& source);

}  // namespace SystemPlatform
