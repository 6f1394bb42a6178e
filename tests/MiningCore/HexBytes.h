#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "TestSupport.h"
#include "corvanta/mining/Hash32.h"

namespace corvanta::testing {

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
