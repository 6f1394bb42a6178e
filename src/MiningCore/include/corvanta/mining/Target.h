#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "corvanta/mining/Hash32.h"

namespace corvanta {

// A proof-of-work target: a digest meets it when, read as a little-endian number, it is lower
// than or equal to the target.
struct Target {
    Hash32 bigEndianBytes{};  // byte 0 is the most significant

    // Decodes Bitcoin's compact form. Refuses a set sign bit, a zero mantissa and exponents
    // outside 3...32 (Bitcoin itself would accept 0, 1 and 2; no real target uses them).
    static std::optional<Target> fromCompactBits(std::uint32_t bits);

    // Empty unless exactly 32 bytes.
    static std::optional<Target> fromBigEndianBytes(std::span<const std::uint8_t> bytes);

    // 32 bytes of 0xFF: every digest meets it.
    static Target easiest();

    // False for a digest that is not exactly 32 bytes.
    bool isMet(std::span<const std::uint8_t> byLittleEndianDigest) const;

    bool operator==(const Target&) const = default;
};

}  // namespace corvanta
