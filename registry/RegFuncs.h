#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/RegTypes.h"

// Thin operations over the registry. None keeps state or reports anything:
// results are booleans or Windows codes, and the caller owns every key that an
// operation hands back open.

// Opens `path` below `root`. On failure `key` keeps the value it had, which
// callers set to RegKey::None first.
[[nodiscard]] bool OpenRegKey(RegKey root, const std::wstring& path, RegKey& key);

// True when `path` is not there below `root`; a key that is there but cannot
// be opened is not missing.
[[nodiscard]] bool RegKeyMissing(RegKey root, const std::wstring& path);

// Closing RegKey::None, or a key that is not open, gives false and does nothing.
bool CloseRegKey(RegKey key);

// The code of the enumeration, unchanged (0, 259, or the system's error).
// `name` is always written: past the last subkey it is a blank filler.
[[nodiscard]] long EnumRegSubKey(RegKey key, std::uint32_t index, std::wstring& name);

// The text of a string value read with the wide calls, cut at its first NUL; nothing for a value of another type.
[[nodiscard]] std::optional<std::wstring> StringValue(const RegValueData& value);

// The same, expanded as the system expands it for a caller; nothing also when the expansion fails.
[[nodiscard]] std::optional<std::wstring> ExpandedStringValue(const RegValueData& value);

// Reads a REG_SZ or REG_EXPAND_SZ value (the default value for an empty name);
// REG_EXPAND_SZ comes back expanded. On false `value` is left untouched.
[[nodiscard]] bool GetRegString(RegKey key, const std::wstring& valueName, std::wstring& value);

// Deletes one key without subkeys.
[[nodiscard]] bool DeleteRegKey(RegKey parent, const std::wstring& name);

[[nodiscard]] std::wstring CurrentVersionKey();

// Deletes `name` below `parent` with everything below it, deepest keys first.
// A subkey that cannot be removed is passed over so that the others are still
// removed; the result is true only when `name` itself was deleted. A registry
// link met on the way is removed as a key of its own: its target stays.
[[nodiscard]] bool DeleteRegKeyTree(RegKey parent, const std::wstring& name);
