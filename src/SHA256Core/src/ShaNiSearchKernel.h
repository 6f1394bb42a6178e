#pragma once

// The SHA-NI nonce search for any number of streams: several nonces hashed side by side, their
// instructions interleaved, because one SHA-NI round pair takes several cycles to finish but the
// unit accepts the next one sooner.
//
// Work that is the same for every nonce is done once per call: rounds 0..3 of the first hash
// (less the nonce word), the padding words of both blocks added to their round constants, and the
// state shuffles of the midstate and the initial value. In the second hash the last round pair is
// skipped when the digest's top word already proves the nonce is neither a hit nor a new best;
// every other digest is finished and goes through the same tally as the portable backend.
//
// Internal linkage: only the ShaNiSearch*.cpp files include this, each compiled for SHA-NI.

#include <cstdint>

#include "Backends.h"
#include "NonceFreeRounds.h"
#include "SearchCommon.h"
#include "ShaNiPrimitives.h"

#include "InstructionSearch.h"

namespace corvanta::sha256::shani {
namespace {

using FirstHashPlan = instructions::FirstHashPlan<Isa>;
using SecondHashPlan = instructions::SecondHashPlan<Isa>;

// When each quad's message words are worked out: just before its rounds, as the search first
// did, or one quad ahead, so the schedule's own chain of dependent instructions never holds the
// round pairs up (measured faster with every compiler and stream count).
enum class Schedule { justInTime, oneQuadAhead };

// A batch of N nonces stopped one round pair short of the end of the second hash.
template <int N, Schedule kSchedule = Schedule::oneQuadAhead>
struct Batch {
    PackedState state[N];  // after round 61; the halves are swapped (abef holds CDGH)
    __m128i lastWk[N];     // message words 60..63 plus their round constants
};

template <int N>
[[gnu::always_inline]] inline void allQuadRounds(PackedState (&s)[N], const __m128i (&wk)[N]) {
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) lowRounds(s[l], wk[l]);
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) highRounds(s[l], wk[l]);
}

template <int N>
[[gnu::always_inline]] inline void sameQuadRounds(PackedState (&s)[N], __m128i wk) {
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) lowRounds(s[l], wk);
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) highRounds(s[l], wk);
}

// Quads 4..15 of a hash whose first four message quads are in w.
template <int N, Schedule kSchedule, bool kStopBeforeLastPair>
[[gnu::always_inline]] inline void scheduledQuadRounds(PackedState (&s)[N], __m128i (&w)[4][N],
                                                       __m128i (&lastWk)[N]) {
    const auto schedule = [&](int q, __m128i(&wk)[N]) {
#pragma GCC unroll 8
        for (int l = 0; l < N; ++l) {
            w[q & 3][l] =
                nextMessage(w[q & 3][l], w[(q + 1) & 3][l], w[(q + 2) & 3][l], w[(q + 3) & 3][l]);
            wk[l] = _mm_add_epi32(w[q & 3][l], roundConstants(q));
        }
    };
    constexpr bool kAhead = kSchedule == Schedule::oneQuadAhead;
    __m128i wk[N];
    if (kAhead) schedule(4, wk);
#pragma GCC unroll 16
    for (int q = 4; q < 16; ++q) {
        __m128i next[N];
        if (kAhead && q < 15) schedule(q + 1, next);
        if (!kAhead) schedule(q, wk);
        if (kStopBeforeLastPair && q == 15) {
#pragma GCC unroll 8
            for (int l = 0; l < N; ++l) {
                lowRounds(s[l], wk[l]);
                lastWk[l] = wk[l];
            }
        } else {
            allQuadRounds(s, wk);
        }
        if (kAhead && q < 15) {
#pragma GCC unroll 8
            for (int l = 0; l < N; ++l) wk[l] = next[l];
        }
    }
}

template <int N, Schedule kSchedule>
[[gnu::always_inline]] inline void hashBatch(const FirstHashPlan& first,
                                             const SecondHashPlan& second, std::uint32_t firstNonce,
                                             Batch<N, kSchedule>& out) {
    PackedState s[N];
    __m128i w[4][N];
    __m128i unused[N];
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) {
        const auto word =
            static_cast<int>(search::nonceWord(firstNonce + static_cast<std::uint32_t>(l)));
        // Round 3 adds the nonce word to the new a (top lane of ABEF) and e (lane 1).
        s[l] = {_mm_add_epi32(first.afterRound3.abef, _mm_set_epi32(word, 0, word, 0)),
                first.afterRound3.cdgh};
        w[0][l] = _mm_insert_epi32(first.message0, word, 3);
        w[1][l] = first.message[0];
        w[2][l] = first.message[1];
        w[3][l] = first.message[2];
    }
#pragma GCC unroll 4
    for (int q = 1; q < 4; ++q) sameQuadRounds(s, first.paddingPlusK[q - 1]);
    scheduledQuadRounds<N, kSchedule, false>(s, w, unused);

#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) {
        const PlainState digest = unpack(add(s[l], first.midstate));
        w[0][l] = digest.abcd;
        w[1][l] = digest.efgh;
        w[2][l] = second.message[0];
        w[3][l] = second.message[1];
        s[l] = second.initial;
    }
#pragma GCC unroll 2
    for (int q = 0; q < 2; ++q) {
        __m128i wk[N];
#pragma GCC unroll 8
        for (int l = 0; l < N; ++l) wk[l] = _mm_add_epi32(w[q][l], roundConstants(q));
        allQuadRounds(s, wk);
    }
#pragma GCC unroll 2
    for (int q = 2; q < 4; ++q) sameQuadRounds(s, second.paddingPlusK[q - 2]);
    scheduledQuadRounds<N, kSchedule, true>(s, w, out.lastWk);
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) out.state[l] = s[l];
}

// The digest's top word as the hit test and the best comparison read it: bytes 31..28 of the
// digest, that is the byte-swapped last state word. After round 61, lane 0 of ABEF holds f, which
// is the final h before the feed-forward.
template <int N, Schedule kSchedule>
[[gnu::always_inline]] inline std::uint32_t topWord(const Batch<N, kSchedule>& batch,
                                                    std::uint64_t lane) {
    const auto h = static_cast<std::uint32_t>(_mm_cvtsi128_si32(batch.state[lane].cdgh));
    return __builtin_bswap32(h + search::kInitialState[7]);
}

template <int N, Schedule kSchedule>
void finishDigest(const Batch<N, kSchedule>& batch, std::uint64_t lane, const PackedState& initial,
                  std::uint8_t digest[32]) {
    PackedState state = batch.state[lane];
    highRounds(state, batch.lastWk[lane]);
    std::uint32_t words[8];
    store(add(state, initial), words);
    search::stateToBytes(words, digest);
}

// The whole search, kStreams nonces side by side.
template <int kStreams, Schedule kSchedule = Schedule::oneQuadAhead>
constexpr SearchRoutine* searchChunkWith =
    instructions::searchRoutine<Isa, kStreams, Batch<kStreams, kSchedule>>;

}  // namespace
}  // namespace corvanta::sha256::shani
