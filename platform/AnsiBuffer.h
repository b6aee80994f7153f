#pragma once

#include <cstdint>
#include <optional>
#include <string>

// For the adapters of "A" calls that fill a byte buffer and, when it is too
// small, report the size they need: every size here is in bytes of the ANSI
// code page, never in characters of the converted text.
//
// `call(data, size)` returns what the Windows call returns: 0 on failure, a
// count that fits in `size` on success, the size needed (NUL included) when
// the buffer is too small. The finished text comes back cut at its first NUL.
template <typename Call>
[[nodiscard]] std::optional<std::string> FillAnsiBuffer(Call call, std::uint32_t initialSize)
{
    std::string bytes(initialSize, '\0');
    std::uint32_t result = call(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    // A value can change between two calls: ask again a few times, not forever.
    for (int attempt = 0; result > bytes.size() && attempt < 3; ++attempt) {
        bytes.assign(result, '\0');
        result = call(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    if (result == 0 || result > bytes.size())
        return std::nullopt;
    return bytes.substr(0, bytes.find('\0'));
}
