#pragma once

// The part of the first hash that every nonce of a search shares. The nonce is message word 3
// of the header's second block, so rounds 0..2 never see it, and round 3 only adds it to the new
// a and e. Running rounds 0..3 once with word 3 set to zero therefore gives, for any nonce, the
// state after round 3 less that word in a and e.

#include <cstdint>

#include "SearchCommon.h"

namespace corvanta::sha256::search {

inline std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

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
        std::uint32_t a = midstate[0], b = midstate[1], c = midstate[2], d = midstate[3];
        std::uint32_t e = midstate[4], f = midstate[5], g = midstate[6], h = midstate[7];
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t w = i < 3 ? message[i] : 0;
            const std::uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
            const std::uint32_t t1 = h + s1 + ((e & f) ^ (~e & g)) + kRoundConstants[i] + w;
            const std::uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
            const std::uint32_t t2 = s0 + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const std::uint32_t after[8] = {a, b, c, d, e, f, g, h};
        for (int i = 0; i < 8; ++i) state[i] = after[i];
    }

  private:
    static constexpr std::uint32_t rotr(std::uint32_t x, int n) {
        return (x >> n) | (x << (32 - n));
    }
};

}  // namespace corvanta::sha256::search
