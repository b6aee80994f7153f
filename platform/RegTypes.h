#pragma once

#include <cstdint>
#include <string>

#include "platform/WinCodes.h"

// A registry key handle without windows.h: the adapter casts it to HKEY.
// Predefined roots are plain values and are never owned or closed by callers.
enum class RegKey : std::uintptr_t {
    None = 0,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
};

// The codes that registry calls answer with most, by the names the registry code uses.
namespace RegError {
inline constexpr long Success = WinCode::Success;
inline constexpr long FileNotFound = WinCode::FileNotFound;
inline constexpr long AccessDenied = WinCode::AccessDenied;
inline constexpr long NoMoreItems = WinCode::NoMoreItems;
}  // namespace RegError

namespace RegType {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Sz = 1;
inline constexpr std::uint32_t ExpandSz = 2;
inline constexpr std::uint32_t Dword = 4;
}  // namespace RegType

// A registry value exactly as stored: its name ("" for the default value),
// its type number and its bytes, as the wide registry calls give them.
struct RegValueData {
    std::wstring name;
    std::uint32_t type = 0;
    std::string bytes;
    bool operator==(const RegValueData&) const = default;
};

// What RegQueryInfoKeyW tells of a key: its counts, and when it was last
// written (a value set or removed, a subkey made or deleted), in the system's
// 100 ns units.
struct KeyStamp {
    std::uint32_t subKeys = 0;
    std::uint32_t values = 0;
    std::uint64_t lastWrite = 0;
    bool operator==(const KeyStamp&) const = default;
};
