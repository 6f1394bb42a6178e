#pragma once

// Hashes travel in hash byte order but are shown, named and sent to the node in display order:
// the bytes reversed.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
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

// True for exactly `digits` lower-case hexadecimal digits, the form every stored hash takes.
inline bool isLowerHex(std::string_view text, std::size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace corvanta::loop
