#pragma once

#include <array>
#include <cstdint>

namespace corvanta {

// A 256-bit value as 32 raw bytes: a digest, a block hash or a target. Which byte order it is in
// (hash byte order or big-endian) is said by the name of whatever holds it.
using Hash32 = std::array<std::uint8_t, 32>;

}  // namespace corvanta
