// The nonce-search kernel on AVX-512: sixteen lanes per vector, one vector per step or two
// interleaved.
// Built with -mavx512f -mavx512vl; runs only after the dispatcher has checked the processor.
// Rotations are single vprord instructions and every three-input XOR, choose and majority a
// single vpternlogd.

#include <immintrin.h>

#include "LaneKernel.h"

namespace corvanta::sha256::lanes {
namespace {

// vpternlogd truth tables, inputs (x, y, z) as bits (2, 1, 0) of the table index.
constexpr int kXor3 = 0x96;
constexpr int kChoose = 0xCA;        // x ? y : z
constexpr int kChooseGFirst = 0xB8;  // y ? z : x, for choose(e, f, g) as (g, e, f)
constexpr int kMajority = 0xE8;

// The masked forms with every lane selected are the plain vprord / vpsrld; the unmasked intrinsics
// start from an undefined vector, which GCC 12 reports as maybe-uninitialized.
constexpr __mmask16 kAllLanes = 0xFFFF;

template <int N>
CORVANTA_LANE_INLINE __m512i rotateRight(__m512i x) {
    return _mm512_mask_ror_epi32(x, kAllLanes, x, N);
}
template <int N>
CORVANTA_LANE_INLINE __m512i shiftRight(__m512i x) {
    return _mm512_mask_srli_epi32(x, kAllLanes, x, N);
}

// x = f(x, y, z) for the vpternlogd truth table Table. Written out because GCC 12's intrinsic
// ties the result to its first input in a way its register allocator mostly meets with two
// register copies, even when that input is dead; zmm copies take vector ALU slots on Zen 4.
template <int Table>
CORVANTA_LANE_INLINE __m512i ternaryLogic(__m512i x, __m512i y, __m512i z) {
    asm("vpternlogd %3, %2, %1, %0" : "+v"(x) : "v"(y), "v"(z), "n"(Table));
    return x;
}

struct Avx512Word {
    static constexpr int kLanes = 16;
    __m512i v;

    static CORVANTA_LANE_INLINE Avx512Word splat(std::uint32_t x) {
        return {_mm512_set1_epi32(static_cast<int>(x))};
    }
    static CORVANTA_LANE_INLINE Avx512Word laneIndices() {
        return {_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)};
    }
    friend CORVANTA_LANE_INLINE Avx512Word operator+(const Avx512Word& x, const Avx512Word& y) {
        return {_mm512_add_epi32(x.v, y.v)};
    }
    static CORVANTA_LANE_INLINE Avx512Word bigSigma0(const Avx512Word& x) {
        return {
            ternaryLogic<kXor3>(rotateRight<2>(x.v), rotateRight<13>(x.v), rotateRight<22>(x.v))};
    }
    static CORVANTA_LANE_INLINE Avx512Word bigSigma1(const Avx512Word& x) {
        return {
            ternaryLogic<kXor3>(rotateRight<6>(x.v), rotateRight<11>(x.v), rotateRight<25>(x.v))};
    }
    static CORVANTA_LANE_INLINE Avx512Word smallSigma0(const Avx512Word& x) {
        return {ternaryLogic<kXor3>(rotateRight<7>(x.v), rotateRight<18>(x.v), shiftRight<3>(x.v))};
    }
    static CORVANTA_LANE_INLINE Avx512Word smallSigma1(const Avx512Word& x) {
        return {
            ternaryLogic<kXor3>(rotateRight<17>(x.v), rotateRight<19>(x.v), shiftRight<10>(x.v))};
    }
    static CORVANTA_LANE_INLINE Avx512Word choose(const Avx512Word& e, const Avx512Word& f,
                                                  const Avx512Word& g) {
        // g in the overwritten slot: it is dead here (see roundLookingAhead()).
        return {ternaryLogic<kChooseGFirst>(g.v, e.v, f.v)};
    }
    static CORVANTA_LANE_INLINE Avx512Word majority(const Avx512Word& a, const Avx512Word& b,
                                                    const Avx512Word& c) {
        return {ternaryLogic<kMajority>(a.v, b.v, c.v)};
    }
    // Bytes 1 and 3 come from a right rotation by 8, bytes 0 and 2 from one by 24.
    static CORVANTA_LANE_INLINE Avx512Word byteSwap(const Avx512Word& x) {
        return {_mm512_ternarylogic_epi32(_mm512_set1_epi32(static_cast<int>(0xFF00FF00)),
                                          rotateRight<8>(x.v), rotateRight<24>(x.v), kChoose)};
    }
    static CORVANTA_LANE_INLINE std::uint32_t atMost(const Avx512Word& x, const Avx512Word& limit) {
        return _mm512_cmple_epu32_mask(x.v, limit.v);
    }
    CORVANTA_LANE_INLINE void store(std::uint32_t* words) const { _mm512_storeu_si512(words, v); }
};

}  // namespace

std::uint64_t scanAvx512x16(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                            std::uint32_t threshold, CandidateBatch& out) {
    return scanLanes<Avx512Word>(job, from, to, threshold, out);
}

std::uint64_t scanAvx512x32(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                            std::uint32_t threshold, CandidateBatch& out) {
    return scanLanes<Pair<Avx512Word>>(job, from, to, threshold, out);
}

}  // namespace corvanta::sha256::lanes
