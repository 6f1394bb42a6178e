#include "corvanta/mining/HashJob.h"

#include <algorithm>

#include "LittleEndian.h"
#include "corvanta/vesk.h"

namespace corvanta {

HashJob::HashJob(const BlockHeader& header, const Target& target) : target_(target) {
    const auto bytes = header.serialized();
    std::copy_n(bytes.begin(), headerPrefix_.size(), headerPrefix_.begin());
    std::copy_n(bytes.begin() + 64, tail_.size(), tail_.begin());
    std::copy_n(VESK_SHA256_IV, midstate_.size(), midstate_.begin());
    vesk_sha256_compress(midstate_.data(), bytes.data(), 1);
}

std::array<std::uint8_t, BlockHeader::byteCount> HashJob::headerBytes(std::uint32_t nonce) const {
    std::array<std::uint8_t, BlockHeader::byteCount> bytes{};
    std::ranges::copy(headerPrefix_, bytes.begin());
    detail::storeLittleEndian32(nonce, &bytes[76]);
    return bytes;
}

}  // namespace corvanta
