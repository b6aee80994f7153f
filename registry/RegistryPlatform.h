#pragma once

#include <cstdint>
#include <string>

#include "registry/RegTypes.h"

// The registry calls of the platform, one function per Windows call. The
// Windows build links the Win32 adapter; the host build links an in-memory
// registry. Text buffers are passed in and filled as the "A" calls fill their
// byte buffers: the buffer's length is the size handed to the call.
namespace RegistryPlatform {

// RegOpenKeyA. On failure `key` is not written.
[[nodiscard]] long OpenKey(RegKey root, const std::wstring& path, RegKey& key);

// RegCloseKey.
[[nodiscard]] long CloseKey(RegKey key);

// RegEnumKeyA with `buffer` as the name buffer and its length as the size.
[[nodiscard]] long EnumKey(RegKey key, std::uint32_t index, std::wstring& buffer);

// RegQueryValueExA. With `data` null only the type and size are asked for.
// Otherwise `data` is the buffer and `size` is its length on the way in and
// the count the call reports on the way out.
[[nodiscard]] long QueryValue(RegKey key, const std::wstring& valueName, std::uint32_t& type,
                              std::wstring* data, std::uint32_t& size);

// RegDeleteKeyA.
[[nodiscard]] long DeleteKey(RegKey parent, const std::wstring& name);

}  // namespace RegistryPlatform
