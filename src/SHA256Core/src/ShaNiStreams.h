#pragma once

// The double SHA-256 of a few nonces on SHA-NI, cut into 31 quad-round steps that a caller can
// spread between the rounds of other work: the SHA unit then runs beside the vector ALUs instead
// of after them. The plan is built from the same SearchJob as the vector lanes, so both halves
// hash the same header.
//
// Only for files built with SHA-NI enabled on the command line. ShaNiPrimitives.h is shared with
// the baseline SHA-NI backend, which is safe because all of its functions are always inlined: no
// out-of-line copy built for the wider instruction set exists for the linker to hand elsewhere.

#include <cstdint>

#include "LaneKernel.h"
#include "LaneSearch.h"
#include "SearchCommon.h"
#include "ShaNiPrimitives.h"

namespace corvanta::sha256::lanes {
namespace {

using shani::PackedState;

struct ShaNiPlan {
    PackedState afterRound3;  // with the nonce word taken as zero
    PackedState midstate;
    PackedState secondInitial;
    __m128i message0;              // words 0..3 of the first block, word 3 (the nonce) zero
    __m128i firstPadding[3];       // words 4..15 of the first block
    __m128i firstPaddingPlusK[3];  // those words plus their round constants
    __m128i secondPadding[2];      // words 8..15 of the second block
    __m128i secondPaddingPlusK[2];

    explicit ShaNiPlan(const SearchJob& job) {
        const std::uint32_t* entering = job.enteringRound3;
        const std::uint32_t after[8] = {job.round3A, entering[0], entering[1], entering[2],
                                        job.round3E, entering[4], entering[5], entering[6]};
        afterRound3 = shani::pack(after);
        midstate = shani::pack(job.midstate);
        secondInitial = shani::pack(search::kInitialState);
        message0 = shani::words(job.message[0], job.message[1], job.message[2], 0);
        firstPadding[0] = shani::words(0x80000000, 0, 0, 0);
        firstPadding[1] = shani::words(0, 0, 0, 0);
        firstPadding[2] = shani::words(0, 0, 0, 640);
        for (int i = 0; i < 3; ++i) {
            firstPaddingPlusK[i] = _mm_add_epi32(firstPadding[i], shani::roundConstants(i + 1));
        }
        secondPadding[0] = shani::words(0x80000000, 0, 0, 0);
        secondPadding[1] = shani::words(0, 0, 0, 256);
        for (int i = 0; i < 2; ++i) {
            secondPaddingPlusK[i] = _mm_add_epi32(secondPadding[i], shani::roundConstants(i + 2));
        }
    }
};

template <int N>
struct ShaNiStreams {
    static constexpr int kSteps = 31;  // quads 1..15 of the first hash, 0..15 of the second

    PackedState s[N];
    __m128i w[4][N];

    CORVANTA_LANE_INLINE void start(const ShaNiPlan& plan, std::uint32_t firstNonce) {
        unroll<0, N>([&](auto l) __attribute__((always_inline)) {
            const auto word =
                static_cast<int>(__builtin_bswap32(firstNonce + static_cast<std::uint32_t>(l())));
            // Round 3 adds the nonce word to the new a (top lane of ABEF) and e (lane 1).
            s[l()] = {_mm_add_epi32(plan.afterRound3.abef, _mm_set_epi32(word, 0, word, 0)),
                      plan.afterRound3.cdgh};
            w[0][l()] = _mm_insert_epi32(plan.message0, word, 3);
            w[1][l()] = plan.firstPadding[0];
            w[2][l()] = plan.firstPadding[1];
            w[3][l()] = plan.firstPadding[2];
        });
    }

    template <int Step>
    CORVANTA_LANE_INLINE void step(const ShaNiPlan& plan) {
        static_assert(Step >= 0 && Step < kSteps);
        if constexpr (Step < 3) {
            sameQuad(plan.firstPaddingPlusK[Step]);
        } else if constexpr (Step < 15) {
            scheduledQuad<Step + 1>();
            if constexpr (Step == 14) startSecondHash(plan);
        } else if constexpr (Step < 17) {
            __m128i wk[N];
            unroll<0, N>([&](auto l) __attribute__((always_inline)) {
                wk[l()] = _mm_add_epi32(w[Step - 15][l()], shani::roundConstants(Step - 15));
            });
            quad(wk);
        } else if constexpr (Step < 19) {
            sameQuad(plan.secondPaddingPlusK[Step - 17]);
        } else {
            scheduledQuad<Step - 15>();
            if constexpr (Step == kSteps - 1) {
                unroll<0, N>([&](auto l) __attribute__((always_inline)) {
                    s[l()] = shani::add(s[l()], plan.secondInitial);
                });
            }
        }
    }

    // After the last step: the digest's top word as the hit test reads it, the byte-swapped h7.
    // CDGH holds h in lane 0.
    CORVANTA_LANE_INLINE std::uint32_t topWord(int l) const {
        return __builtin_bswap32(static_cast<std::uint32_t>(_mm_cvtsi128_si32(s[l].cdgh)));
    }

    CORVANTA_LANE_INLINE void store(CandidateBatch& out, int firstLane) const {
        for (int l = 0; l < N; ++l) {
            std::uint32_t words[8];
            shani::store(s[l], words);
            for (int i = 0; i < 8; ++i) out.state[i][firstLane + l] = words[i];
        }
    }

  private:
    CORVANTA_LANE_INLINE void quad(const __m128i (&wk)[N]) {
        unroll<0, N>([&](auto l)
                         __attribute__((always_inline)) { shani::lowRounds(s[l()], wk[l()]); });
        unroll<0, N>([&](auto l)
                         __attribute__((always_inline)) { shani::highRounds(s[l()], wk[l()]); });
    }

    CORVANTA_LANE_INLINE void sameQuad(__m128i wk) {
        __m128i all[N];
        unroll<0, N>([&](auto l) __attribute__((always_inline)) { all[l()] = wk; });
        quad(all);
    }

    template <int Q>
    CORVANTA_LANE_INLINE void scheduledQuad() {
        __m128i wk[N];
        unroll<0, N>([&](auto l) __attribute__((always_inline)) {
            w[Q & 3][l()] = shani::nextMessage(w[Q & 3][l()], w[(Q + 1) & 3][l()],
                                               w[(Q + 2) & 3][l()], w[(Q + 3) & 3][l()]);
            wk[l()] = _mm_add_epi32(w[Q & 3][l()], shani::roundConstants(Q));
        });
        quad(wk);
    }

    CORVANTA_LANE_INLINE void startSecondHash(const ShaNiPlan& plan) {
        unroll<0, N>([&](auto l) __attribute__((always_inline)) {
            const shani::PlainState digest = shani::unpack(shani::add(s[l()], plan.midstate));
            w[0][l()] = digest.abcd;
            w[1][l()] = digest.efgh;
            w[2][l()] = plan.secondPadding[0];
            w[3][l()] = plan.secondPadding[1];
            s[l()] = plan.secondInitial;
        });
    }
};

}  // namespace
}  // namespace corvanta::sha256::lanes
