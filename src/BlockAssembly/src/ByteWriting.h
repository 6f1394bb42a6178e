#pragma once

#include <cstdint>
#include <span>

#include "corvanta/assembly/BitcoinEncoding.h"

namespace corvanta::detail {

inline void append(Bytes& bytes, std::span<const std::uint8_t> tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
}

// `value` as `width` little-endian bytes.
inline void appendLittleEndian(Bytes& bytes, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace corvanta::detail
