#pragma once

#include <cstdint>
#include <string>

#include "platform/RegTypes.h"

// The registry calls of the platform, one function per Windows call. The
// Windows build links the Win32 adapter; the host build links an in-memory
// registry. Text buffers are passed in and filled as the "A" calls fill their
// byte buffers: the buffer's length is the size handed to the call.
namespace RegistryPlatform {

// RegOpenKeyA. On failure `key` is not written.
[[nodiscard]] long OpenKey(RegKey root, const std::wstring& path, RegKey& key);

// RegOpenKeyExA with REG_OPTION_OPEN_LINK: a registry link is opened as the
// link itself, not its target. `isLink` tells which it is (its
// SymbolicLinkValue is of type REG_LINK); a key whose link value cannot be
// read fails with that code. On failure `key` is not written.
[[nodiscard]] long OpenKeyNoFollow(RegKey parent, const std::wstring& name, RegKey& key, bool& isLink);

// RegCloseKey.
[[nodiscard]] long CloseKey(RegKey key);

// RegEnumKeyA with `buffer` as the name buffer and its length as the size.
[[nodiscard]] long EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer);

// RegQueryValueExA. With `data` null only the type and size are asked for.
// Otherwise `data` is the buffer and `size` is its length on the way in and
// the count the call reports on the way out.
[[nodiscard]] long QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type,
                              std::wstring* data, std::uint32_t& size);

// RegDeleteKeyA. On a registry link it deletes the link's target.
[[nodiscard]] long DeleteKey(RegKey parent, const std::wstring& name);

// NtDeleteKey: deletes the key that `key` itself refers to, a link included;
// a key that has subkeys stays. `key` must have been opened with DELETE.
[[nodiscard]] long DeleteOpenKey(RegKey key);

// The wide calls below pass names and data as they are stored, with no code page in between.

// RegOpenKeyExW with REG_OPTION_OPEN_LINK and KEY_READ, and DELETE too with
// `toDelete`: a link is opened as itself, and shows as a value
// SymbolicLinkValue of type REG_LINK.
[[nodiscard]] long OpenKeyToRead(RegKey parent, const std::wstring& name, RegKey& key, bool toDelete = false);

// RegQueryInfoKeyW: how many subkeys and values `key` has, and its last write time.
[[nodiscard]] long KeyCounts(RegKey key, KeyStamp& stamp);

// RegEnumKeyExW: the subkey's whole name, whatever its length.
[[nodiscard]] long EnumKeyWide(RegKey key, std::uint32_t index, std::wstring& name);

// RegEnumValueW: the value's name, type and exact bytes, whatever their size.
[[nodiscard]] long EnumValueWide(RegKey key, std::uint32_t index, RegValueData& value);

// NtQueryKey's name of the key, where it physically is, as "HKEY_LOCAL_MACHINE\..."; a predefined root fails.
[[nodiscard]] long KeyPath(RegKey key, std::wstring& path);

// RegCreateKeyExW below HKEY_LOCAL_MACHINE by the 64-bit view's names, open to set values and create subkeys.
[[nodiscard]] long CreateKey64(const std::wstring& subPath, RegKey& key);

// RegOpenKeyExW below HKEY_LOCAL_MACHINE by the 64-bit view's names, with
// REG_OPTION_OPEN_LINK: a link at the end of `subPath` is opened as itself.
[[nodiscard]] long OpenLink64(const std::wstring& subPath, RegKey& key);

// RegQueryValueExW of SymbolicLinkValue: the target of a key opened as a link,
// "\REGISTRY\MACHINE\..."; ERROR_FILE_NOT_FOUND for a key that is no link.
[[nodiscard]] long LinkTarget(RegKey key, std::wstring& target);

// RegOpenKeyExW with KEY_READ, following links as any caller does. With
// `view32`, KEY_WOW64_32KEY: the keys a 32-bit caller reads, whatever the build.
[[nodiscard]] long OpenKeyWide(RegKey root, const std::wstring& path, RegKey& key, bool view32 = false);

// RegQueryValueExW: the value's type and exact bytes, whatever their size.
[[nodiscard]] long QueryValueWide(RegKey key, const std::wstring& valueName, RegValueData& value);

// RegSetValueExW with the value's bytes as they are.
[[nodiscard]] long SetValueWide(RegKey key, const RegValueData& value);

}  // namespace RegistryPlatform
