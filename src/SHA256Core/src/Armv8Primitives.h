#pragma once

// SHA-256 building blocks on the ARMv8 SHA-2 instructions. Only the Armv8*.cpp files include
// this, and only they are compiled with the crypto extension.

#include <arm_neon.h>

#include <cstdint>

#include "SearchCommon.h"

namespace corvanta::sha256::armv8 {

// The state in FIPS order, h0..h3 and h4..h7, lane 0 first: the layout the instructions use.
struct State {
    uint32x4_t abcd;
    uint32x4_t efgh;
};

[[gnu::always_inline]] inline State load(const std::uint32_t state[8]) {
    return {vld1q_u32(state), vld1q_u32(state + 4)};
}

[[gnu::always_inline]] inline void store(State s, std::uint32_t out[8]) {
    vst1q_u32(out, s.abcd);
    vst1q_u32(out + 4, s.efgh);
}

[[gnu::always_inline]] inline State add(State a, State b) {
    return {vaddq_u32(a.abcd, b.abcd), vaddq_u32(a.efgh, b.efgh)};
}

// Sixteen message bytes as four big-endian words.
[[gnu::always_inline]] inline uint32x4_t loadMessage(const std::uint8_t* bytes) {
    return vreinterpretq_u32_u8(vrev32q_u8(vld1q_u8(bytes)));
}

[[gnu::always_inline]] inline uint32x4_t roundConstants(int quad) {
    return vld1q_u32(search::kRoundConstants + 4 * quad);
}

[[gnu::always_inline]] inline uint32x4_t words(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                                               std::uint32_t w3) {
    const std::uint32_t lanes[4] = {w0, w1, w2, w3};
    return vld1q_u32(lanes);
}

// Four rounds; `wk` holds message words plus round constants.
[[gnu::always_inline]] inline void quadRound(State& s, uint32x4_t wk) {
    const uint32x4_t abcd = s.abcd;
    s.abcd = vsha256hq_u32(abcd, s.efgh, wk);
    s.efgh = vsha256h2q_u32(s.efgh, abcd, wk);
}

// Message words 4q..4q+3 from the four quads before them.
[[gnu::always_inline]] inline uint32x4_t nextMessage(uint32x4_t w0, uint32x4_t w1, uint32x4_t w2,
                                                     uint32x4_t w3) {
    return vsha256su1q_u32(vsha256su0q_u32(w0, w1), w2, w3);
}

// The names the templates shared with the SHA-NI backend look for.
struct Isa {
    using Vector = uint32x4_t;
    using State = armv8::State;

    [[gnu::always_inline]] static State loadState(const std::uint32_t state[8]) {
        return load(state);
    }
    [[gnu::always_inline]] static Vector addWords(Vector x, Vector y) { return vaddq_u32(x, y); }
    [[gnu::always_inline]] static Vector words(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                                               std::uint32_t w3) {
        return armv8::words(w0, w1, w2, w3);
    }
    [[gnu::always_inline]] static Vector roundConstants(int quad) {
        return armv8::roundConstants(quad);
    }
    [[gnu::always_inline]] static Vector loadMessage(const std::uint8_t* bytes) {
        return armv8::loadMessage(bytes);
    }
    [[gnu::always_inline]] static Vector nextMessage(Vector w0, Vector w1, Vector w2, Vector w3) {
        return armv8::nextMessage(w0, w1, w2, w3);
    }
};

}  // namespace corvanta::sha256::armv8
