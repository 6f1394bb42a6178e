#pragma once

#include <cstdint>

namespace corvanta::detail {

inline void storeLittleEndian32(std::uint32_t value, std::uint8_t* out) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace corvanta::detail
