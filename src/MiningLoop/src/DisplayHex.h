#pragma once

// Hashes travel in hash byte order but are shown, named and sent to the node in display order:
// the bytes reversed.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "corvanta/assembly/BitcoinEncoding.h"

namespace corvanta::loop {

inline std::string displayHex(std::span<const std::uint8_t> hashByteOrder) {
    const std::vector<std::uint8_t> reversed(hashByteOrder.rbegin(), hashByteOrder.rend());
    return BitcoinEncoding::hexString(reversed);
}

// The hash bytes of a display-order text; empty when the text is not hexadecimal.
inline std::vector<std::uint8_t> hashBytesOfDisplayHex(const std::string& text) {
    auto bytes = BitcoinEncoding::hexBytes(text).value_or(std::vector<std::uint8_t>{});
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

}  // namespace corvanta::loop
