#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Calls that write into the caller's buffer and answer "too small" are asked again with a larger one, a few times,
// not forever: a value or a path can grow between two calls, and a count that never settles must not hold the run.
// `call(buffer)` makes one call and returns 0 when it is done, whether it succeeded or failed (it keeps that answer
// itself), or the size the buffer needs for the next try. False when no try fitted.
template <typename Buffer, typename Call>
[[nodiscard]] bool GrowUntilFits(Buffer& buffer, int attempts, Call call)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::size_t needed = call(buffer);
        if (needed == 0)
            return true;
        buffer.assign(needed, typename Buffer::value_type{});
    }
    return false;
}

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
    std::uint32_t result = 0;
    bool fitted = GrowUntilFits(bytes, 4, [&](std::string& buffer) -> std::size_t {
        result = call(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        return result > buffer.size() ? result : 0;
    });
    if (!fitted || result == 0)
        return std::nullopt;
    return bytes.substr(0, bytes.find('\0'));
}
