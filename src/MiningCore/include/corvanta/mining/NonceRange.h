#pragma once

#include <cstdint>

namespace corvanta {

// A run of nonces to search: `count` nonces from `start`, never past the end of the 32-bit nonce
// space. The count is 64-bit so that the whole space (2^32 nonces) fits.
class NonceRange {
  public:
    static constexpr std::uint64_t nonceSpace = std::uint64_t{1} << 32;

    // start + count must not exceed 2^32. Breaking that is a programming error, not an input
    // error: it aborts the program, in every build type, rather than search the wrong nonces.
    NonceRange(std::uint32_t start, std::uint64_t count);

    std::uint32_t start() const { return start_; }
    std::uint64_t count() const { return count_; }
    // One past the last nonce, as a 64-bit number (2^32 for a range that ends the space).
    std::uint64_t upperBound() const { return std::uint64_t{start_} + count_; }

    bool operator==(const NonceRange&) const = default;

  private:
    std::uint32_t start_;
    std::uint64_t count_;
};

}  // namespace corvanta
