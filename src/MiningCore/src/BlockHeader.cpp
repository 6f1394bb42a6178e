#include "corvanta/mining/BlockHeader.h"

#include <algorithm>

#include "LittleEndian.h"

namespace corvanta {

std::optional<BlockHeader> BlockHeader::make(std::int32_t version,
                                             std::span<const std::uint8_t> previousBlockHash,
                                             std::span<const std::uint8_t> merkleRoot,
                                             std::uint32_t time, std::uint32_t bits,
                                             std::uint32_t nonce) {
    if (previousBlockHash.size() != 32 || merkleRoot.size() != 32) return std::nullopt;
    BlockHeader header{.version = version, .time = time, .bits = bits, .nonce = nonce};
    std::ranges::copy(previousBlockHash, header.previousBlockHash.begin());
    std::ranges::copy(merkleRoot, header.merkleRoot.begin());
    return header;
}

std::array<std::uint8_t, BlockHeader::byteCount> BlockHeader::serialized() const {
    std::array<std::uint8_t, byteCount> bytes{};
    // The signed version goes in as its two's-complement bits.
    detail::storeLittleEndian32(static_cast<std::uint32_t>(version), &bytes[0]);
    std::ranges::copy(previousBlockHash, &bytes[4]);
    std::ranges::copy(merkleRoot, &bytes[36]);
    detail::storeLittleEndian32(time, &bytes[68]);
    detail::storeLittleEndian32(bits, &bytes[72]);
    detail::storeLittleEndian32(nonce, &bytes[76]);
    return bytes;
}

BlockHeader BlockHeader::withNonce(std::uint32_t newNonce) const {
    BlockHeader copy = *this;
    copy.nonce = newNonce;
    return copy;
}

}  // namespace corvanta
