#pragma once

// SHA-256 building blocks on the x86 SHA extensions. Only the ShaNi*.cpp files include this, and
// only they are compiled for SHA-NI + SSE4.1 (see the CMake file); the rest of the library stays
// baseline x86-64, and nothing here may run before Dispatch.cpp has checked the CPU.

#include <immintrin.h>

#include <cstdint>

#include "SearchCommon.h"

namespace corvanta::sha256::shani {

// SHA-NI works on the state split as ABEF (A in the top lane) and CDGH (C in the top lane).
struct PackedState {
    __m128i abef;
    __m128i cdgh;
};

// The state in FIPS order, h0..h3 and h4..h7, lane 0 first.
struct PlainState {
    __m128i abcd;
    __m128i efgh;
};

[[gnu::always_inline]] inline PackedState pack(__m128i abcd, __m128i efgh) {
    const __m128i badc = _mm_shuffle_epi32(abcd, 0xB1);
    const __m128i hgfe = _mm_shuffle_epi32(efgh, 0x1B);
    return {_mm_alignr_epi8(badc, hgfe, 8), _mm_blend_epi16(hgfe, badc, 0xF0)};
}

[[gnu::always_inline]] inline PackedState pack(const std::uint32_t state[8]) {
    return pack(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)));
}

[[gnu::always_inline]] inline PlainState unpack(PackedState packed) {
    const __m128i feba = _mm_shuffle_epi32(packed.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(packed.cdgh, 0xB1);
    return {_mm_blend_epi16(feba, dchg, 0xF0), _mm_alignr_epi8(dchg, feba, 8)};
}

[[gnu::always_inline]] inline void store(PackedState packed, std::uint32_t out[8]) {
    const PlainState plain = unpack(packed);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), plain.abcd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), plain.efgh);
}

[[gnu::always_inline]] inline PackedState add(PackedState a, PackedState b) {
    return {_mm_add_epi32(a.abef, b.abef), _mm_add_epi32(a.cdgh, b.cdgh)};
}

// Sixteen message bytes as four big-endian words.
[[gnu::always_inline]] inline __m128i loadMessage(const std::uint8_t* bytes) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), byteSwap);
}

[[gnu::always_inline]] inline __m128i roundConstants(int quad) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(search::kRoundConstants + 4 * quad));
}

[[gnu::always_inline]] inline __m128i words(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                                            std::uint32_t w3) {
    return _mm_set_epi32(static_cast<int>(w3), static_cast<int>(w2), static_cast<int>(w1),
                         static_cast<int>(w0));
}

// The first two of a quad's rounds; `wk` holds message words plus round constants.
[[gnu::always_inline]] inline void lowRounds(PackedState& s, __m128i wk) {
    s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, wk);
}

// The last two of a quad's rounds. After lowRounds the two halves have swapped roles, which this
// swaps back.
[[gnu::always_inline]] inline void highRounds(PackedState& s, __m128i wk) {
    s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

[[gnu::always_inline]] inline void quadRound(PackedState& s, __m128i wk) {
    lowRounds(s, wk);
    highRounds(s, wk);
}

// Message words 4q..4q+3 from the four quads before them.
[[gnu::always_inline]] inline __m128i nextMessage(__m128i w0, __m128i w1, __m128i w2, __m128i w3) {
    const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4));
    return _mm_sha256msg2_epu32(partial, w3);
}

// The names the templates shared with the ARMv8 backend look for.
struct Isa {
    using Vector = __m128i;
    using State = PackedState;

    [[gnu::always_inline]] static State loadState(const std::uint32_t state[8]) {
        return pack(state);
    }
    [[gnu::always_inline]] static Vector addWords(Vector x, Vector y) {
        return _mm_add_epi32(x, y);
    }
    [[gnu::always_inline]] static Vector words(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2,
                                               std::uint32_t w3) {
        return shani::words(w0, w1, w2, w3);
    }
    [[gnu::always_inline]] static Vector roundConstants(int quad) {
        return shani::roundConstants(quad);
    }
    [[gnu::always_inline]] static Vector loadMessage(const std::uint8_t* bytes) {
        return shani::loadMessage(bytes);
    }
    [[gnu::always_inline]] static Vector nextMessage(Vector w0, Vector w1, Vector w2, Vector w3) {
        return shani::nextMessage(w0, w1, w2, w3);
    }
};

}  // namespace corvanta::sha256::shani
