#include "corvanta/sha256/Sha256.h"

#include <cstring>

#include "corvanta/vesk.h"

namespace corvanta::sha256 {

Sha256::Sha256() {
    std::memcpy(state_.data(), VESK_SHA256_IV, sizeof(VESK_SHA256_IV));
}

Sha256& Sha256::update(std::span<const std::uint8_t> bytes) {
    totalBytes_ += bytes.size();
    if (buffered_ > 0) {
        const std::size_t take = std::min(bytes.size(), buffer_.size() - buffered_);
        std::memcpy(buffer_.data() + buffered_, bytes.data(), take);
        buffered_ += take;
        bytes = bytes.subspan(take);
        if (buffered_ < buffer_.size()) return *this;
        vesk_sha256_compress(state_.data(), buffer_.data(), 1);
        buffered_ = 0;
    }
    const std::size_t wholeBlocks = bytes.size() / 64;
    if (wholeBlocks > 0) vesk_sha256_compress(state_.data(), bytes.data(), wholeBlocks);
    bytes = bytes.subspan(wholeBlocks * 64);
    std::memcpy(buffer_.data(), bytes.data(), bytes.size());
    buffered_ = bytes.size();
    return *this;
}

Digest Sha256::finish() {
    const std::uint64_t bitLength = totalBytes_ * 8;
    buffer_[buffered_++] = 0x80;
    if (buffered_ > 56) {
        std::memset(buffer_.data() + buffered_, 0, 64 - buffered_);
        vesk_sha256_compress(state_.data(), buffer_.data(), 1);
        buffered_ = 0;
    }
    std::memset(buffer_.data() + buffered_, 0, 56 - buffered_);
    for (int i = 0; i < 8; ++i)
        buffer_[56 + i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
    vesk_sha256_compress(state_.data(), buffer_.data(), 1);
    Digest out;
    for (int i = 0; i < 8; ++i) {
        out[4 * i] = static_cast<std::uint8_t>(state_[i] >> 24);
        out[4 * i + 1] = static_cast<std::uint8_t>(state_[i] >> 16);
        out[4 * i + 2] = static_cast<std::uint8_t>(state_[i] >> 8);
        out[4 * i + 3] = static_cast<std::uint8_t>(state_[i]);
    }
    return out;
}

Digest digest(std::span<const std::uint8_t> bytes) {
    return Sha256().update(bytes).finish();
}

Digest doubleDigest(std::span<const std::uint8_t> bytes) {
    const Digest once = digest(bytes);
    return digest(once);
}

}  // namespace corvanta::sha256
