// The nonce-search kernel on AVX2: eight lanes, one vector per step. (Two interleaved vectors
// measured slower: sixteen ymm registers cannot hold both states and the spills dominate.)
// Built with -mavx2; runs only after the dispatcher has checked the processor.

#include <immintrin.h>

#include "LaneKernel.h"

namespace corvanta::sha256::lanes {
namespace {

template <int N>
CORVANTA_LANE_INLINE __m256i shiftRight(__m256i x) {
    return _mm256_srli_epi32(x, N);
}
template <int N>
CORVANTA_LANE_INLINE __m256i shiftLeft(__m256i x) {
    return _mm256_slli_epi32(x, N);
}
CORVANTA_LANE_INLINE __m256i bitXor(__m256i x, __m256i y) {
    return _mm256_xor_si256(x, y);
}

// rotr(x, A) ^ rotr(x, B) ^ rotr(x, C), the six shifts independent of each other.
template <int A, int B, int C>
CORVANTA_LANE_INLINE __m256i rotations(__m256i x) {
    const __m256i right = bitXor(bitXor(shiftRight<A>(x), shiftRight<B>(x)), shiftRight<C>(x));
    const __m256i left =
        bitXor(bitXor(shiftLeft<32 - A>(x), shiftLeft<32 - B>(x)), shiftLeft<32 - C>(x));
    return bitXor(right, left);
}

// rotr(x, A) ^ rotr(x, B) ^ (x >> C).
template <int A, int B, int C>
CORVANTA_LANE_INLINE __m256i rotationsAndShift(__m256i x) {
    const __m256i right = bitXor(bitXor(shiftRight<A>(x), shiftRight<B>(x)), shiftRight<C>(x));
    const __m256i left = bitXor(shiftLeft<32 - A>(x), shiftLeft<32 - B>(x));
    return bitXor(right, left);
}

struct Avx2Word {
    static constexpr int kLanes = 8;
    __m256i v;

    static CORVANTA_LANE_INLINE Avx2Word splat(std::uint32_t x) {
        return {_mm256_set1_epi32(static_cast<int>(x))};
    }
    static CORVANTA_LANE_INLINE Avx2Word laneIndices() {
        return {_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)};
    }
    friend CORVANTA_LANE_INLINE Avx2Word operator+(const Avx2Word& x, const Avx2Word& y) {
        return {_mm256_add_epi32(x.v, y.v)};
    }
    static CORVANTA_LANE_INLINE Avx2Word bigSigma0(const Avx2Word& x) {
        return {rotations<2, 13, 22>(x.v)};
    }
    static CORVANTA_LANE_INLINE Avx2Word bigSigma1(const Avx2Word& x) {
        return {rotations<6, 11, 25>(x.v)};
    }
    static CORVANTA_LANE_INLINE Avx2Word smallSigma0(const Avx2Word& x) {
        return {rotationsAndShift<7, 18, 3>(x.v)};
    }
    static CORVANTA_LANE_INLINE Avx2Word smallSigma1(const Avx2Word& x) {
        return {rotationsAndShift<17, 19, 10>(x.v)};
    }
    // ((f ^ g) & e) ^ g picks f where e is set and g elsewhere.
    static CORVANTA_LANE_INLINE Avx2Word choose(const Avx2Word& e, const Avx2Word& f,
                                                const Avx2Word& g) {
        return {bitXor(_mm256_and_si256(bitXor(f.v, g.v), e.v), g.v)};
    }
    static CORVANTA_LANE_INLINE Avx2Word majority(const Avx2Word& a, const Avx2Word& b,
                                                  const Avx2Word& c) {
        return {_mm256_or_si256(_mm256_and_si256(a.v, b.v),
                                _mm256_and_si256(c.v, _mm256_or_si256(a.v, b.v)))};
    }
    static CORVANTA_LANE_INLINE Avx2Word byteSwap(const Avx2Word& x) {
        const __m256i order =
            _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7, 6,
                             5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
        return {_mm256_shuffle_epi8(x.v, order)};
    }
    // Unsigned x <= limit exactly where min(x, limit) == x.
    static CORVANTA_LANE_INLINE std::uint32_t atMost(const Avx2Word& x, const Avx2Word& limit) {
        const __m256i within = _mm256_cmpeq_epi32(_mm256_min_epu32(x.v, limit.v), x.v);
        return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(within)));
    }
    CORVANTA_LANE_INLINE void store(std::uint32_t* words) const {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), v);
    }
};

}  // namespace

std::uint64_t scanAvx2(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                       std::uint32_t threshold, CandidateBatch& out) {
    return scanLanes<Avx2Word>(job, from, to, threshold, out);
}

}  // namespace corvanta::sha256::lanes
