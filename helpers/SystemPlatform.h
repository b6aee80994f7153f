#pragma once

#include <cstdint>
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

// The current user's local application-data folder (CSIDL_LOCAL_APPDATA).
[[nodiscard]] std::optional<std::wstring> LocalAppDataFolder();

// The local date and time, to the second.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
[[nodiscard]] LocalTime Now();

// GetComputerNameW: this machine's name; "" when it cannot be read.
[[nodiscard]] std::wstring ComputerName();

// Waits `milliseconds`; and a clock in milliseconds that only moves forward
// (GetTickCount64), to wait against.
void Pause(std::uint32_t milliseconds);
[[nodiscard]] std::uint64_t Ticks();

// ExpandEnvironmentStringsA: the whole expansion, however long.
[[nodiscard]] std::optional<std::wstring> ExpandStrings(const std::wstring& source);

}  // namespace SystemPlatform
