#pragma once

// The part of the first hash that every nonce of a search shares. The nonce is message word 3
// of the header's second block, so rounds 0..2 never see it, and round 3 only adds it to the new
// a and e. Running rounds 0..3 once with word 3 set to zero therefore gives, for any nonce, the
// state after round 3 less that word in a and e.

#include <cstdint>

#include "ScalarRounds.h"
#include "SearchCommon.h"

namespace corvanta::sha256::search {
// Internal linkage: the SHA-instruction search files compile this under their own target flags,
// and no copy of it may reach the baseline library through the linker.
namespace {

// Message word 3 of the first block for a nonce: the nonce is stored little-endian and message
// words are read big-endian.
inline std::uint32_t nonceWord(std::uint32_t nonce) {
    return __builtin_bswap32(nonce);
}

struct NonceFreeRounds {
    std::uint32_t message[3];  // message words 0..2: tail bytes 0..11
    std::uint32_t state[8];    // a..h after round 3, with message word 3 taken as zero

    NonceFreeRounds(const std::uint32_t midstate[8], const std::uint8_t tail[16]) {
        for (int i = 0; i < 3; ++i) message[i] = loadBigEndian(tail + 4 * i);
        scalar::Working v = scalar::working(midstate);
        for (int i = 0; i < 4; ++i) scalar::round(v, kRoundConstants[i] + (i < 3 ? message[i] : 0));
        const std::uint32_t after[8] = {v.a, v.b, v.c, v.d, v.e, v.f, v.g, v.h};
        for (int i = 0; i < 8; ++i) state[i] = after[i];
    }
};

}  // namespace
}  // namespace corvanta::sha256::search
