#pragma once

#include <cstdint>

#include "platform/RegTypes.h"

// Windows result codes and value types that only the fakes and tests name.
namespace RegError {
inline constexpr long InvalidHandle = WinCode::InvalidHandle;
inline constexpr long BadPathname = 161;
inline constexpr long MoreData = 234;
inline constexpr long KeyDeleted = 1018;
}  // namespace RegError

namespace RegType {
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t Link = 6;
inline constexpr std::uint32_t MultiSz = 7;
}  // namespace RegType
