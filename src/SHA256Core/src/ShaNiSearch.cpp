// Nonce search on SHA-NI. One SHA-NI round pair has a latency of several cycles but the unit
// accepts a new one sooner, so a single hash leaves it idle most of the time: several nonces are
// hashed side by side (streams), their instructions interleaved, to keep it busy. How many pays,
// and whether sha256msg1 slows the round pairs enough to compute sigma0 with vector shifts instead,
// depends on the processor; every build is timed by the benchmark and the backend picks between
// the contenders at run time.
//
// Past two streams the 16 xmm registers (xmm0 is the round key's) cannot hold every stream's two
// state and four message quads, and the compiler spills some of them. Forcing the spills onto the
// schedule alone, with memory barriers, measured slower: the schedule's recurrence then runs
// through store forwarding and falls behind the rounds.
//
// Work that is the same for every nonce is done once per call: rounds 0..3 of the first hash
// (less the nonce word), the padding words of both blocks added to their round constants, and the
// state shuffles of the midstate and the initial value. In the second hash the last round pair is
// skipped when the digest's top word already proves the nonce is neither a hit nor a new best;
// every other digest is finished and goes through the same tally as the portable backend.

#include <array>

#include "Backends.h"
#include "NonceFreeRounds.h"
#include "SearchCommon.h"
#include "ShaNiPrimitives.h"

#include "InstructionSearch.h"

namespace corvanta::sha256::shani {
namespace {

using FirstHashPlan = instructions::FirstHashPlan<Isa>;
using SecondHashPlan = instructions::SecondHashPlan<Isa>;

// How one build of the kernel hashes: how many nonces side by side (streams), and where the first
// half of each message-schedule step runs.
template <int kStreamCount, Sigma0Unit kSigma0Unit>
struct Build {
    static constexpr int streams = kStreamCount;
    static constexpr Sigma0Unit sigma0Unit = kSigma0Unit;
};

// A batch of nonces stopped one round pair short of the end of the second hash.
template <class B>
struct Batch {
    PackedState state[B::streams];  // after round 61; the halves are swapped (abef holds CDGH)
    __m128i lastWk[B::streams];     // message words 60..63 plus their round constants
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
template <class B, bool kStopBeforeLastPair>
[[gnu::always_inline]] inline void scheduledQuadRounds(PackedState (&s)[B::streams],
                                                       __m128i (&w)[4][B::streams],
                                                       __m128i (&lastWk)[B::streams]) {
    constexpr int N = B::streams;
#pragma GCC unroll 16
    for (int q = 4; q < 16; ++q) {
        __m128i wk[N];
#pragma GCC unroll 8
        for (int l = 0; l < N; ++l) {
            w[q & 3][l] = nextMessage<B::sigma0Unit>(w[q & 3][l], w[(q + 1) & 3][l],
                                                     w[(q + 2) & 3][l], w[(q + 3) & 3][l]);
            wk[l] = _mm_add_epi32(w[q & 3][l], roundConstants(q));
        }
        if (kStopBeforeLastPair && q == 15) {
#pragma GCC unroll 8
            for (int l = 0; l < N; ++l) {
                lowRounds(s[l], wk[l]);
                lastWk[l] = wk[l];
            }
        } else {
            allQuadRounds(s, wk);
        }
    }
}

template <class B>
[[gnu::always_inline]] inline void hashBatch(const FirstHashPlan& first,
                                             const SecondHashPlan& second, std::uint32_t firstNonce,
                                             Batch<B>& out) {
    constexpr int N = B::streams;
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
    scheduledQuadRounds<B, false>(s, w, unused);

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
    scheduledQuadRounds<B, true>(s, w, out.lastWk);
#pragma GCC unroll 8
    for (int l = 0; l < N; ++l) out.state[l] = s[l];
}

// The digest's top word as the hit test and the best comparison read it: bytes 31..28 of the
// digest, that is the byte-swapped last state word. After round 61, lane 0 of ABEF holds f, which
// is the final h before the feed-forward.
template <class B>
[[gnu::always_inline]] inline std::uint32_t topWord(const Batch<B>& batch, std::uint64_t lane) {
    const auto h = static_cast<std::uint32_t>(_mm_cvtsi128_si32(batch.state[lane].cdgh));
    return __builtin_bswap32(h + search::kInitialState[7]);
}

template <class B>
void finishDigest(const Batch<B>& batch, std::uint64_t lane, const PackedState& initial,
                  std::uint8_t digest[32]) {
    PackedState state = batch.state[lane];
    highRounds(state, batch.lastWk[lane]);
    std::uint32_t words[8];
    store(add(state, initial), words);
    search::stateToBytes(words, digest);
}

template <int kStreams, Sigma0Unit kSigma0Unit>
std::uint64_t searchChunkWith(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                              std::uint32_t startNonce, std::uint64_t count,
                              const std::uint8_t target[32], std::uint32_t* hits,
                              std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                              std::uint32_t* bestNonceOut) {
    using B = Build<kStreams, kSigma0Unit>;
    return instructions::searchChunk<Isa, kStreams, Batch<B>>(
        midstate, tail, startNonce, count, target, hits, hitCapacity, bestDigestOut, bestNonceOut);
}

template <int kStreams, Sigma0Unit kSigma0Unit>
constexpr Backend build(std::string_view id, std::string_view label) {
    return {id, label, compress, searchChunkWith<kStreams, kSigma0Unit>};
}

}  // namespace
}  // namespace corvanta::sha256::shani

namespace corvanta::sha256::backends {

using shani::Sigma0Unit;

constexpr std::array<Backend, 8> shaNiBuilds = {{
    shani::build<2, Sigma0Unit::sha>("sha-ni/2", "SHA-NI, 2 streams"),
    shani::build<3, Sigma0Unit::sha>("sha-ni/3", "SHA-NI, 3 streams"),
    shani::build<4, Sigma0Unit::sha>("sha-ni/4", "SHA-NI, 4 streams"),
    shani::build<5, Sigma0Unit::sha>("sha-ni/5", "SHA-NI, 5 streams"),
    shani::build<2, Sigma0Unit::vector>("sha-ni/2v", "SHA-NI, 2 streams, vector sigma0"),
    shani::build<3, Sigma0Unit::vector>("sha-ni/3v", "SHA-NI, 3 streams, vector sigma0"),
    shani::build<4, Sigma0Unit::vector>("sha-ni/4v", "SHA-NI, 4 streams, vector sigma0"),
    shani::build<5, Sigma0Unit::vector>("sha-ni/5v", "SHA-NI, 5 streams, vector sigma0"),
}};

// Four streams measured fastest with either schedule; which schedule wins depends on whether
// sha256msg1 competes with the round instructions on this processor, so both are timed.
constexpr std::array<Backend, 2> shaNiContenders = {shaNiBuilds[2], shaNiBuilds[6]};

constexpr Backend shaNi = shani::build<4, Sigma0Unit::vector>("sha-ni", "SHA-NI");

}  // namespace corvanta::sha256::backends
