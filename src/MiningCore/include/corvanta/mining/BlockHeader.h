#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "corvanta/mining/Hash32.h"

namespace corvanta {

// The 80-byte Bitcoin block header. Hashes are kept in hash byte order, as they go into the
// header (the raw double SHA-256 order, the reverse of how they are displayed).
struct BlockHeader {
    static constexpr std::size_t byteCount = 80;

    std::int32_t version = 0;
    Hash32 previousBlockHash{};
    Hash32 merkleRoot{};
    std::uint32_t time = 0;
    std::uint32_t bits = 0;
    std::uint32_t nonce = 0;

    // Empty unless both hashes have exactly 32 bytes.
    static std::optional<BlockHeader> make(std::int32_t version,
                                           std::span<const std::uint8_t> previousBlockHash,
                                           std::span<const std::uint8_t> merkleRoot,
                                           std::uint32_t time, std::uint32_t bits,
                                           std::uint32_t nonce);

    // Version, time, bits and nonce little-endian; both hashes as stored.
    std::array<std::uint8_t, byteCount> serialized() const;

    BlockHeader withNonce(std::uint32_t newNonce) const;

    bool operator==(const BlockHeader&) const = default;
};

}  // namespace corvanta
