#pragma once

// Pieces shared by every backend's nonce search: the fixed padding and the byte-order rules of
// the hit test and the best-digest comparison. Keeping them in one place is what keeps the
// backends bit-identical.

#include <cstdint>
#include <cstring>

namespace corvanta::sha256::search {

inline constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline constexpr std::uint32_t kInitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// First-hash block: the 16-byte tail, then the padding of an 80-byte message (640 bits).
inline void layOutFirstBlock(std::uint8_t block[64], const std::uint8_t tail[16]) {
    std::memset(block, 0, 64);
    std::memcpy(block, tail, 16);
    block[16] = 0x80;
    block[62] = 0x02;
    block[63] = 0x80;
}

// Second-hash block: 32 digest bytes (filled per nonce), then the padding of 256 bits.
inline void layOutSecondBlock(std::uint8_t block[64]) {
    std::memset(block, 0, 64);
    block[32] = 0x80;
    block[62] = 0x01;
    block[63] = 0x00;
}

inline std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

inline void storeBigEndian(std::uint8_t* out, std::uint32_t word) {
    out[0] = static_cast<std::uint8_t>(word >> 24);
    out[1] = static_cast<std::uint8_t>(word >> 16);
    out[2] = static_cast<std::uint8_t>(word >> 8);
    out[3] = static_cast<std::uint8_t>(word);
}

inline void storeLittleEndian(std::uint8_t* out, std::uint32_t word) {
    out[0] = static_cast<std::uint8_t>(word);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(word >> 16);
    out[3] = static_cast<std::uint8_t>(word >> 24);
}

inline void stateToBytes(const std::uint32_t state[8], std::uint8_t out[32]) {
    for (int i = 0; i < 8; ++i) storeBigEndian(out + 4 * i, state[i]);
}

// The digest (hash byte order) read as a little-endian number, against the big-endian target.
inline bool meetsTarget(const std::uint8_t digest[32], const std::uint8_t target[32]) {
    for (int i = 0; i < 32; ++i) {
        const std::uint8_t d = digest[31 - i];
        if (d != target[i]) return d < target[i];
    }
    return true;
}

// The most significant 32 bits of a digest (hash byte order) read as a little-endian number: what
// decides the hit test and the best comparison whenever they differ from another digest's.
inline std::uint32_t digestTopWord(const std::uint8_t digest[32]) {
    return (std::uint32_t{digest[31]} << 24) | (std::uint32_t{digest[30]} << 16) |
           (std::uint32_t{digest[29]} << 8) | std::uint32_t{digest[28]};
}

// Both digests in hash byte order, compared as little-endian numbers.
inline bool lowerDigest(const std::uint8_t candidate[32], const std::uint8_t best[32]) {
    for (int i = 31; i >= 0; --i) {
        if (candidate[i] != best[i]) return candidate[i] < best[i];
    }
    return false;
}

// Tracks hits and the best digest across lanes in nonce order, as every backend must.
class Tally {
  public:
    Tally(std::uint32_t* hits, std::uint64_t capacity) : hits_(hits), capacity_(capacity) {}

    void consider(std::uint32_t nonce, const std::uint8_t digest[32],
                  const std::uint8_t target[32]) {
        if (meetsTarget(digest, target)) {
            if (hitCount_ < capacity_) hits_[hitCount_] = nonce;
            ++hitCount_;
        }
        if (first_ || lowerDigest(digest, best_)) {
            std::memcpy(best_, digest, 32);
            bestNonce_ = nonce;
            first_ = false;
        }
    }

    // Writes the outputs of a search of at least one nonce and returns the stored hit count.
    std::uint64_t finish(std::uint8_t bestDigestOut[32], std::uint32_t* bestNonceOut) const {
        for (int i = 0; i < 32; ++i) bestDigestOut[i] = best_[31 - i];
        if (bestNonceOut != nullptr) *bestNonceOut = bestNonce_;
        return hitCount_ < capacity_ ? hitCount_ : capacity_;
    }

    const std::uint8_t* bestDigest() const { return best_; }
    bool hasBest() const { return !first_; }

  private:
    std::uint32_t* hits_;
    std::uint64_t capacity_;
    std::uint64_t hitCount_ = 0;
    std::uint8_t best_[32] = {};
    std::uint32_t bestNonce_ = 0;
    bool first_ = true;
};

// The answer to a search of zero nonces.
inline std::uint64_t emptySearch(std::uint8_t bestDigestOut[32]) {
    std::memset(bestDigestOut, 0xFF, 32);
    return 0;
}

}  // namespace corvanta::sha256::search
