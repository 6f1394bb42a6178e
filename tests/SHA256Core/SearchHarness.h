#pragma once

// Runs one backend's nonce search and captures everything it writes, so two backends can be
// compared output for output.

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "corvanta/sha256/Backend.h"

namespace corvanta::sha256::testing {

using Bytes32 = std::array<std::uint8_t, 32>;

inline constexpr std::uint32_t kUnwrittenHit = 0xA5A5A5A5;
inline constexpr std::uint32_t kUnwrittenNonce = 0xDEADBEEF;
inline constexpr std::uint8_t kUnwrittenByte = 0x5A;
// One slot past the largest capacity used, to catch a write beyond it.
inline constexpr std::size_t kHitSlots = 65;

struct SearchInput {
    std::array<std::uint32_t, 8> midstate{};
    std::array<std::uint8_t, 16> tail{};
    std::uint32_t startNonce = 0;
    std::uint64_t count = 0;
    Bytes32 target{};
    std::uint64_t hitCapacity = 0;
    bool hitListGiven = true;  // a capacity of 0 may come with no list at all
    bool bestNonceWanted = true;
};

struct SearchOutputs {
    std::uint64_t result = 0;
    std::array<std::uint32_t, kHitSlots> hits{};
    Bytes32 bestDigest{};
    std::uint32_t bestNonce = 0;
    bool inputsUntouched = true;

    bool operator==(const SearchOutputs&) const = default;
};

inline SearchOutputs runSearch(const Backend& backend, const SearchInput& in) {
    SearchOutputs out;
    out.hits.fill(kUnwrittenHit);
    out.bestDigest.fill(kUnwrittenByte);
    out.bestNonce = kUnwrittenNonce;
    // The inputs are handed over through copies at odd addresses: no backend may assume alignment.
    alignas(16) std::uint8_t tail[17];
    alignas(16) std::uint8_t target[33];
    std::memcpy(tail + 1, in.tail.data(), 16);
    std::memcpy(target + 1, in.target.data(), 32);
    out.result =
        backend.searchChunk(in.midstate.data(), tail + 1, in.startNonce, in.count, target + 1,
                            in.hitListGiven ? out.hits.data() : nullptr, in.hitCapacity,
                            out.bestDigest.data(), in.bestNonceWanted ? &out.bestNonce : nullptr);
    out.inputsUntouched = std::memcmp(tail + 1, in.tail.data(), 16) == 0 &&
                          std::memcmp(target + 1, in.target.data(), 32) == 0;
    return out;
}

inline std::string hex(const std::uint8_t* bytes, std::size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

inline std::vector<std::uint8_t> fromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::ostream& operator<<(std::ostream& os, const SearchInput& in) {
    os << "start " << in.startNonce << " count " << in.count << " capacity " << in.hitCapacity
       << (in.hitListGiven ? "" : " (no list)") << (in.bestNonceWanted ? "" : " (no best nonce)")
       << " target " << hex(in.target.data(), 32) << " tail " << hex(in.tail.data(), 16);
    return os;
}

inline std::ostream& operator<<(std::ostream& os, const SearchOutputs& out) {
    os << "result " << out.result << " best " << hex(out.bestDigest.data(), 32) << " nonce "
       << out.bestNonce << " hits";
    for (std::size_t i = 0; i < kHitSlots && out.hits[i] != kUnwrittenHit; ++i) {
        os << ' ' << out.hits[i];
    }
    return os;
}

// An 80-byte block header split as the search takes it: the midstate of bytes 0..63 and the tail.
struct HeaderJob {
    std::array<std::uint32_t, 8> midstate{};
    std::array<std::uint8_t, 16> tail{};
};

inline HeaderJob splitHeader(const Backend& backend, const std::vector<std::uint8_t>& header) {
    HeaderJob job;
    const std::uint32_t iv[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(job.midstate.data(), iv, sizeof iv);
    backend.compress(job.midstate.data(), header.data(), 1);
    std::memcpy(job.tail.data(), header.data() + 64, 16);
    return job;
}

}  // namespace corvanta::sha256::testing
