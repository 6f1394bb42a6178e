// Nonce search on the ARMv8 SHA-2 instructions, several nonces per batch (streams) with their
// instructions interleaved: one hash alone is a chain of dependent four-round steps that leaves
// the SHA unit waiting on its own results. Built for two to four streams; the benchmark times
// each.
//
// Work that is the same for every nonce is done once per call: rounds 0..3 of the first hash
// (less the nonce word) and the padding words of both blocks added to their round constants. In
// the last four rounds of the second hash the e..h half comes first; its top word decides whether
// the a..d half is needed at all, that is whether the nonce can be a hit or a new best. Every
// digest that can is finished and goes through the same tally as the portable backend.

#include <array>

#include "Armv8Primitives.h"
#include "Backends.h"
#include "InstructionSearch.h"
#include "NonceFreeRounds.h"
#include "SearchCommon.h"

namespace corvanta::sha256::armv8 {
namespace {

using FirstHashPlan = instructions::FirstHashPlan<Isa>;
using SecondHashPlan = instructions::SecondHashPlan<Isa>;

// A batch of N nonces stopped before the a..d half of the second hash's last four rounds.
template <int N>
struct Batch {
    State beforeLastQuad[N];
    uint32x4_t lastWk[N];     // message words 60..63 plus their round constants
    uint32x4_t finalEfgh[N];  // e..h after round 63, before the feed-forward
};

template <int N>
[[gnu::always_inline]] inline void eachQuadRound(State (&s)[N], const uint32x4_t (&wk)[N]) {
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) quadRound(s[l], wk[l]);
}

template <int N>
[[gnu::always_inline]] inline void sameQuadRound(State (&s)[N], uint32x4_t wk) {
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) quadRound(s[l], wk);
}

// Quads 4..14 of a hash whose first four message quads are in w; leaves quad 15's words plus
// constants in lastWk.
template <int N>
[[gnu::always_inline]] inline void scheduledQuadRounds(State (&s)[N], uint32x4_t (&w)[4][N],
                                                       uint32x4_t (&lastWk)[N]) {
#pragma GCC unroll 16
    for (int q = 4; q < 16; ++q) {
        uint32x4_t wk[N];
#pragma GCC unroll 4
        for (int l = 0; l < N; ++l) {
            w[q & 3][l] =
                nextMessage(w[q & 3][l], w[(q + 1) & 3][l], w[(q + 2) & 3][l], w[(q + 3) & 3][l]);
            wk[l] = vaddq_u32(w[q & 3][l], roundConstants(q));
        }
        if (q < 15) {
            eachQuadRound(s, wk);
        } else {
#pragma GCC unroll 4
            for (int l = 0; l < N; ++l) lastWk[l] = wk[l];
        }
    }
}

template <int N>
void hashBatch(const FirstHashPlan& first, const SecondHashPlan& second, std::uint32_t firstNonce,
               Batch<N>& out) {
    State s[N];
    uint32x4_t w[4][N];
    uint32x4_t lastWk[N];
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        const std::uint32_t word = search::nonceWord(firstNonce + static_cast<std::uint32_t>(l));
        // Round 3 adds the nonce word to the new a and e.
        const uint32x4_t nonceInLane0 = vsetq_lane_u32(word, vdupq_n_u32(0), 0);
        s[l] = {vaddq_u32(first.afterRound3.abcd, nonceInLane0),
                vaddq_u32(first.afterRound3.efgh, nonceInLane0)};
        w[0][l] = vsetq_lane_u32(word, first.message0, 3);
        w[1][l] = first.message[0];
        w[2][l] = first.message[1];
        w[3][l] = first.message[2];
    }
#pragma GCC unroll 4
    for (int q = 1; q < 4; ++q) sameQuadRound(s, first.paddingPlusK[q - 1]);
    scheduledQuadRounds(s, w, lastWk);
    eachQuadRound(s, lastWk);

#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        const State digest = add(s[l], first.midstate);
        w[0][l] = digest.abcd;
        w[1][l] = digest.efgh;
        w[2][l] = second.message[0];
        w[3][l] = second.message[1];
        s[l] = second.initial;
    }
#pragma GCC unroll 2
    for (int q = 0; q < 2; ++q) {
        uint32x4_t wk[N];
#pragma GCC unroll 4
        for (int l = 0; l < N; ++l) wk[l] = vaddq_u32(w[q][l], roundConstants(q));
        eachQuadRound(s, wk);
    }
#pragma GCC unroll 2
    for (int q = 2; q < 4; ++q) sameQuadRound(s, second.paddingPlusK[q - 2]);
    scheduledQuadRounds(s, w, out.lastWk);
#pragma GCC unroll 4
    for (int l = 0; l < N; ++l) {
        out.beforeLastQuad[l] = s[l];
        out.finalEfgh[l] = vsha256h2q_u32(s[l].efgh, s[l].abcd, out.lastWk[l]);
    }
}

// The digest's top word as the hit test and the best comparison read it: bytes 31..28 of the
// digest, that is the byte-swapped last state word.
template <int N>
[[gnu::always_inline]] inline std::uint32_t topWord(const Batch<N>& batch, std::uint64_t lane) {
    return __builtin_bswap32(vgetq_lane_u32(batch.finalEfgh[lane], 3) + search::kInitialState[7]);
}

template <int N>
void finishDigest(const Batch<N>& batch, std::uint64_t lane, const State& initial,
                  std::uint8_t digest[32]) {
    const State& before = batch.beforeLastQuad[lane];
    const State finished{vsha256hq_u32(before.abcd, before.efgh, batch.lastWk[lane]),
                         batch.finalEfgh[lane]};
    std::uint32_t words[8];
    store(add(finished, initial), words);
    search::stateToBytes(words, digest);
}

// The whole search, kStreams nonces side by side.
template <int kStreams>
constexpr SearchRoutine* searchChunkWith =
    instructions::searchRoutine<Isa, kStreams, Batch<kStreams>>;

}  // namespace
}  // namespace corvanta::sha256::armv8

namespace corvanta::sha256::backends {

constexpr std::array<Backend, 3> armv8Builds = {{
    {"armv8/2", "ARMv8, 2 streams", armv8::compress, armv8::searchChunkWith<2>},
    {"armv8/3", "ARMv8, 3 streams", armv8::compress, armv8::searchChunkWith<3>},
    {"armv8/4", "ARMv8, 4 streams", armv8::compress, armv8::searchChunkWith<4>},
}};

// Four streams fill the 32 vector registers (a few values spill); three leave room. Which runs
// faster depends on the core, so both are timed.
constexpr std::array<Backend, 2> armv8Contenders = {armv8Builds[1], armv8Builds[2]};

constexpr Backend armv8{"armv8", "ARMv8", armv8::compress, armv8::searchChunkWith<4>};

}  // namespace corvanta::sha256::backends
