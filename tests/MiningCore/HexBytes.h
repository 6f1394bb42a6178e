#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "corvanta/mining/Hash32.h"

namespace corvanta::testing {

inline std::vector<std::uint8_t> bytesFromHex(std::string_view hex) {
    const auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        return static_cast<std::uint8_t>(c - 'a' + 10);
    };
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    }
    return bytes;
}

// A displayed hash (big-endian hex) in hash byte order.
inline Hash32 hashFromDisplayHex(std::string_view hex) {
    const auto bytes = bytesFromHex(hex);
    Hash32 hash{};
    std::reverse_copy(bytes.begin(), bytes.end(), hash.begin());
    return hash;
}

inline Hash32 reversed(const Hash32& hash) {
    Hash32 out{};
    std::reverse_copy(hash.begin(), hash.end(), out.begin());
    return out;
}

}  // namespace corvanta::testing
