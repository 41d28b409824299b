#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vek::access {

inline constexpr std::size_t kResponseKeyTableSize = 4096;

/// The key table that installations share with their access server; built from
/// ResponseKeyTable.hex beside this file.
extern const std::array<std::uint8_t, kResponseKeyTableSize> ResponseKeyTable;

} // namespace vek::access
