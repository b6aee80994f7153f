#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace PeMachine {
inline constexpr std::uint16_t I386 = 0x014C;
inline constexpr std::uint16_t Amd64 = 0x8664;
inline constexpr std::uint16_t Arm64 = 0xAA64;
}  // namespace PeMachine

// What the loader reads first of a program image: the machine it is built for and the DLLs it imports.
struct PeImage {
    std::uint16_t machine = 0;          // set as soon as the file header is read, 0 before
    bool pe32Plus = false;              // optional header magic 0x20B
    std::vector<std::string> imports;   // DLL names of the import directory (not delay-load), in table order
};

// Reads `bytes` (a whole file) as a PE image, checking every offset before it reads; never maps or runs anything.
// "" when sound; otherwise what is wrong as a lower-case clause that reads after "<file> cannot be loaded: ",
// e.g. L"it is not a program image: it has no MZ signature". `image.machine` is kept even when a later part is
// damaged, so that a caller can still tell the bitness of a damaged image.
[[nodiscard]] std::wstring ReadPeImage(std::string_view bytes, PeImage& image);
