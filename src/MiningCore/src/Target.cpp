#include "corvanta/mining/Target.h"

#include <algorithm>

namespace corvanta {

std::optional<Target> Target::fromCompactBits(std::uint32_t bits) {
    constexpr std::uint32_t signBit = 0x00800000;
    if ((bits & signBit) != 0 || (bits & 0x007FFFFF) == 0) return std::nullopt;
    const std::uint32_t exponent = bits >> 24;
    if (exponent < 3 || exponent > 32) return std::nullopt;
    Target target;
    const std::size_t first = 32 - exponent;
    target.bigEndianBytes[first] = static_cast<std::uint8_t>(bits >> 16);
    target.bigEndianBytes[first + 1] = static_cast<std::uint8_t>(bits >> 8);
    target.bigEndianBytes[first + 2] = static_cast<std::uint8_t>(bits);
    return target;
}

std::optional<Target> Target::fromBigEndianBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != 32) return std::nullopt;
    Target target;
    std::ranges::copy(bytes, target.bigEndianBytes.begin());
    return target;
}

Target Target::easiest() {
    Target target;
    target.bigEndianBytes.fill(0xFF);
    return target;
}

bool Target::isMet(std::span<const std::uint8_t> byLittleEndianDigest) const {
    if (byLittleEndianDigest.size() != 32) return false;
    // The digest's most significant byte is its last one.
    for (std::size_t i = 0; i < 32; ++i) {
        const std::uint8_t digestByte = byLittleEndianDigest[31 - i];
        if (digestByte != bigEndianBytes[i]) return digestByte < bigEndianBytes[i];
    }
    return true;
}

}  // namespace corvanta
