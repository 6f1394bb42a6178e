#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace corvanta::sha256 {

using Digest = std::array<std::uint8_t, 32>;

// Streaming SHA-256 of a whole message over vesk_sha256_compress (FIPS 180-4 padding).
class Sha256 {
  public:
    Sha256();
    Sha256& update(std::span<const std::uint8_t> bytes);
    // The digest in byte form (h0 first, big-endian words). The hasher is spent afterwards.
    Digest finish();

  private:
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

Digest digest(std::span<const std::uint8_t> bytes);
// SHA-256 of the SHA-256: Bitcoin's hash, in hash byte order (raw output order).
Digest doubleDigest(std::span<const std::uint8_t> bytes);

}  // namespace corvanta::sha256
