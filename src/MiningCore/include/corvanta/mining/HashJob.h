#pragma once

#include <array>
#include <cstdint>

#include "corvanta/mining/BlockHeader.h"
#include "corvanta/mining/Target.h"

namespace corvanta {

// Everything a nonce search needs about one header: the SHA-256 state after its first 64 bytes
// (computed once here, not once per nonce), its last 16 bytes, the target, and the 76 bytes
// before the nonce to rebuild any header it finds.
class HashJob {
  public:
    HashJob(const BlockHeader& header, const Target& target);

    const std::array<std::uint32_t, 8>& midstate() const { return midstate_; }
    const std::array<std::uint8_t, 16>& tail() const { return tail_; }
    const Target& target() const { return target_; }
    const std::array<std::uint8_t, 76>& headerPrefix() const { return headerPrefix_; }

    // The 80-byte header with that nonce.
    std::array<std::uint8_t, BlockHeader::byteCount> headerBytes(std::uint32_t nonce) const;

    bool operator==(const HashJob&) const = default;

  private:
    std::array<std::uint32_t, 8> midstate_;
    std::array<std::uint8_t, 16> tail_;
    Target target_;
    std::array<std::uint8_t, 76> headerPrefix_;
};

}  // namespace corvanta
