#pragma once

#include <cstdint>
#include <string>

// System directories and the environment, one function per Windows call. As
// with the registry, the Windows build links the Win32 adapter and the host
// build an in-memory stand-in. Buffers are filled as the "A" calls fill them.
namespace SystemPlatform {

// GetWindowsDirectoryA and GetSystemDirectoryA with `buffer` and its length.
// Returns the length copied, the size needed when the buffer is too small,
// or 0 on failure.
[[nodiscard]] std::uint32_t QueryWindowsDirectory(std::wstring& buffer);
[[nodiscard]] std::uint32_t QuerySystemDirectory(std::wstring& buffer);

// ExpandEnvironmentStringsA into `buffer`. Returns the size the expansion
// needs, NUL included (more than the buffer's length when it did not fit).
[[nodiscard]] std::uint32_t ExpandStrings(const std::wstring& source, std::wstring& buffer);

}  // namespace SystemPlatform
