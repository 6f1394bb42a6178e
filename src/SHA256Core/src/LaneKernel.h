#pragma once

// The double SHA-256 of one nonce per lane, written once over a lane-word type and compiled once
// per instruction set (Avx2Kernel.cpp, Avx512Kernel.cpp). A lane-word type `Word` provides:
//   kLanes, splat(x), laneIndices(), operator+, bigSigma0/1, smallSigma0/1, choose, majority,
//   byteSwap, atMost(x, limit) -> bit mask of lanes with x <= limit (unsigned), store(words).
//
// Work that cannot change any output is skipped: the nonce-free first rounds and schedule words
// come precomputed in the SearchJob, constant padding words are folded into the round constants,
// and the second hash stops once h7 is known (its a-values unneeded from round 57), unless some
// lane's digest could be a hit or a new best.
//
// Everything here has internal linkage on purpose: these functions are compiled with wider
// instruction sets than the rest of the library and must never be shared with it by the linker.
// For the same reason SearchCommon.h is used for its constant tables only.

#include <cstdint>

#include "LaneSearch.h"
#include "ScalarRounds.h"
#include "SearchCommon.h"

#define CORVANTA_LANE_INLINE inline __attribute__((always_inline))

namespace corvanta::sha256::lanes {
namespace {

using scalar::smallSigma0;
using scalar::smallSigma1;
using search::kInitialState;
using search::kRoundConstants;

constexpr std::uint32_t kFirstBlockLengthWord = 640;   // word 15: an 80-byte message
constexpr std::uint32_t kSecondBlockLengthWord = 256;  // word 15: a 32-byte message
constexpr std::uint32_t kPaddingBit = 0x80000000;      // the 0x80 byte right after the message

// Round constant plus message word for the rounds whose message word is padding.
constexpr std::uint32_t firstBlockKw(int round) {
    const std::uint32_t word = round == 4 ? kPaddingBit : round == 15 ? kFirstBlockLengthWord : 0;
    return kRoundConstants[round] + word;
}
constexpr std::uint32_t secondBlockKw(int round) {
    const std::uint32_t word = round == 8 ? kPaddingBit : round == 15 ? kSecondBlockLengthWord : 0;
    return kRoundConstants[round] + word;
}

// Round 0 of the second hash starts from the fixed initial state: only message word 0 varies.
constexpr scalar::Working kSecondRound0 = [] {
    scalar::Working v = scalar::working(kInitialState);
    scalar::round(v, kRoundConstants[0]);
    return v;
}();
constexpr std::uint32_t kSecondRound0E = kSecondRound0.e;
constexpr std::uint32_t kSecondRound0A = kSecondRound0.a;

// A round, word or slot number as a type, so that every index below is a compile-time constant
// and the state and schedule arrays can live in registers. (Not
// std::integral_constant: its call operator has external linkage.)
template <int N>
struct Index {
    constexpr int operator()() const { return N; }
};

template <int First, int Last, class Body>
CORVANTA_LANE_INLINE void unroll(Body&& body) {
    if constexpr (First < Last) {
        body(Index<First>{});
        unroll<First + 1, Last>(body);
    }
}

// One round on a state held in eight slots that rotate instead of being moved: in round R the
// working variable a lives in slot (8 - R) mod 8, b in the next slot, and so on. The caller
// supplies h + K[R] + W[R], which is constant in some rounds.
template <int R, class Word>
CORVANTA_LANE_INLINE void roundWith(Word* s, const Word& hPlusKw) {
    const Word& a = s[(8 - R) & 7];
    const Word& b = s[(9 - R) & 7];
    const Word& c = s[(10 - R) & 7];
    Word& d = s[(11 - R) & 7];
    const Word& e = s[(12 - R) & 7];
    const Word& f = s[(13 - R) & 7];
    const Word& g = s[(14 - R) & 7];
    Word& h = s[(15 - R) & 7];
    const Word t1 = hPlusKw + Word::bigSigma1(e) + Word::choose(e, f, g);
    d = d + t1;
    h = t1 + Word::bigSigma0(a) + Word::majority(a, b, c);
}

// A round that also returns the next round's h + K + W. That sum is taken from g before
// choose() reads it for the last time, so a kernel whose choose overwrites g (vpternlogd writes
// one of its inputs) needs no copy of it.
template <int R, class Word>
CORVANTA_LANE_INLINE Word roundLookingAhead(Word* s, const Word& hPlusKw, const Word& nextKw) {
    const Word nextHPlusKw = s[(14 - R) & 7] + nextKw;
    roundWith<R>(s, hPlusKw);
    return nextHPlusKw;
}

// Rounds First..Last-1, each fed K + W by kw(Index<R>), which is called once per round in order,
// a round early.
template <int First, int Last, class Word, class KwOf>
CORVANTA_LANE_INLINE void roundsLookingAhead(Word* s, KwOf&& kw) {
    Word hPlusKw = s[(15 - First) & 7] + kw(Index<First>{});
    unroll<First, Last - 1>([&](auto r) __attribute__((always_inline)) {
        hPlusKw = roundLookingAhead<r()>(s, hPlusKw, kw(Index<r() + 1>{}));
    });
    roundWith<Last - 1>(s, hPlusKw);
}

template <int R, class Word>
CORVANTA_LANE_INLINE void round(Word* s, const Word& kw) {
    roundWith<R>(s, s[(15 - R) & 7] + kw);
}

// A round reduced to its new e, for the last rounds before h7 is known: the a computed there
// would only reach h0..h3.
template <int R, class Word>
CORVANTA_LANE_INLINE void roundForE(Word* s, const Word& kw) {
    Word& d = s[(11 - R) & 7];
    const Word& e = s[(12 - R) & 7];
    const Word& f = s[(13 - R) & 7];
    const Word& g = s[(14 - R) & 7];
    const Word& h = s[(15 - R) & 7];
    d = d + (h + kw + Word::bigSigma1(e) + Word::choose(e, f, g));
}

template <class Word>
CORVANTA_LANE_INLINE Word expand(const Word* w, int r) {
    return Word::smallSigma1(w[r - 2]) + w[r - 7] + Word::smallSigma0(w[r - 15]) + w[r - 16];
}

// The per-call constants of the first hash, broadcast to every lane.
template <class Word>
struct FirstHashConstants {
    Word entering[8];  // slots entering round 3
    Word round3E, round3A;
    Word hPlusKw[3];  // rounds 4..6, whose h still comes from the nonce-free rounds
    Word w16, w17, w18Base, w19Base, w31Extra, w32Extra;
    Word midstate[8];

    explicit FirstHashConstants(const SearchJob& job) {
        // Entering round 3, a sits in slot 5 (see roundWith()); in round R, h sits in slot
        // (15 - R) mod 8.
        std::uint32_t slots[8];
        for (int i = 0; i < 8; ++i) slots[(i + 5) & 7] = job.enteringRound3[i];
        for (int i = 0; i < 8; ++i) entering[i] = Word::splat(slots[i]);
        for (int r = 4; r <= 6; ++r)
            hPlusKw[r - 4] = Word::splat(slots[(15 - r) & 7] + firstBlockKw(r));
        for (int i = 0; i < 8; ++i) midstate[i] = Word::splat(job.midstate[i]);
        round3E = Word::splat(job.round3E);
        round3A = Word::splat(job.round3A);
        w16 = Word::splat(job.w16);
        w17 = Word::splat(job.w17);
        w18Base = Word::splat(job.w18Base);
        w19Base = Word::splat(job.w19Base);
        w31Extra = Word::splat(smallSigma0(job.w16) + kFirstBlockLengthWord);
        w32Extra = Word::splat(smallSigma0(job.w17) + job.w16);
    }
};

// Schedule word R >= 18 of the first-hash block: words 4..15 are padding (word 4 the padding
// bit, 15 the length, the rest zero), so most terms of words 18..32 are constant or vanish.
template <int R, class Word>
CORVANTA_LANE_INLINE Word firstBlockWord(const Word* w, const FirstHashConstants<Word>& k) {
    if constexpr (R == 18)
        return k.w18Base + Word::smallSigma0(w[3]);
    else if constexpr (R == 19)
        return k.w19Base + w[3];
    else if constexpr (R == 20)
        return Word::smallSigma1(w[18]) + Word::splat(kPaddingBit);
    else if constexpr (R == 21)
        return Word::smallSigma1(w[19]);
    else if constexpr (R == 22)
        return Word::smallSigma1(w[20]) + Word::splat(kFirstBlockLengthWord);
    else if constexpr (R <= 29)
        return Word::smallSigma1(w[R - 2]) + w[R - 7];
    else if constexpr (R == 30)
        return Word::smallSigma1(w[28]) + w[23] + Word::splat(smallSigma0(kFirstBlockLengthWord));
    else if constexpr (R == 31)
        return Word::smallSigma1(w[29]) + w[24] + k.w31Extra;
    else if constexpr (R == 32)
        return Word::smallSigma1(w[30]) + w[25] + k.w32Extra;
    else
        return expand(w, R);
}

// Schedule word R >= 16 of the second-hash block: words 0..7 are the first digest, word 8 the
// padding bit, 15 the length, 9..14 zero.
template <int R, class Word>
CORVANTA_LANE_INLINE Word secondBlockWord(const Word* w) {
    if constexpr (R == 16)
        return Word::smallSigma0(w[1]) + w[0];
    else if constexpr (R == 17)
        return Word::smallSigma0(w[2]) + w[1] + Word::splat(smallSigma1(kSecondBlockLengthWord));
    else if constexpr (R <= 21)
        return Word::smallSigma1(w[R - 2]) + Word::smallSigma0(w[R - 15]) + w[R - 16];
    else if constexpr (R == 22)
        return Word::smallSigma1(w[20]) + Word::smallSigma0(w[7]) + w[6] +
               Word::splat(kSecondBlockLengthWord);
    else if constexpr (R == 23)
        return Word::smallSigma1(w[21]) + w[16] + w[7] + Word::splat(smallSigma0(kPaddingBit));
    else if constexpr (R == 24)
        return Word::smallSigma1(w[22]) + w[17] + Word::splat(kPaddingBit);
    else if constexpr (R <= 29)
        return Word::smallSigma1(w[R - 2]) + w[R - 7];
    else if constexpr (R == 30)
        return Word::smallSigma1(w[28]) + w[23] + Word::splat(smallSigma0(kSecondBlockLengthWord));
    else if constexpr (R == 31)
        return Word::smallSigma1(w[29]) + w[24] + Word::smallSigma0(w[16]) +
               Word::splat(kSecondBlockLengthWord);
    else
        return expand(w, R);
}

// First hash of each lane's header: the midstate compressed with the tail block.
template <class Word>
CORVANTA_LANE_INLINE void firstHash(const FirstHashConstants<Word>& k, const Word& nonce,
                                    Word digest[8]) {
    Word w[64];
    Word s[8];
    w[3] = Word::byteSwap(nonce);  // stored little-endian, read as a big-endian word
    unroll<0, 8>([&](auto i) __attribute__((always_inline)) { s[i()] = k.entering[i()]; });
    s[0] = k.round3E + w[3];  // round 3: new e in d's slot, new a in h's slot
    s[4] = k.round3A + w[3];
    unroll<4, 7>([&](auto r)
                     __attribute__((always_inline)) { roundWith<r()>(s, k.hPlusKw[r() - 4]); });
    w[16] = k.w16;
    w[17] = k.w17;
    roundsLookingAhead<7, 64>(
        s, [&](auto r) __attribute__((always_inline)) {
            if constexpr (r() < 16) {
                return Word::splat(firstBlockKw(r()));
            } else {
                if constexpr (r() >= 18) w[r()] = firstBlockWord<r()>(w, k);
                return w[r()] + Word::splat(kRoundConstants[r()]);
            }
        });
    unroll<0, 8>([&](auto i)
                     __attribute__((always_inline)) { digest[i()] = s[i()] + k.midstate[i()]; });
}

// Second hash up to round 56, with the schedule up to word 60. Rounds 1..3 still have an h of
// the initial state.
template <class Word>
CORVANTA_LANE_INLINE void secondHashTo56(const Word first[8], Word w[64], Word s[8]) {
    unroll<0, 8>([&](auto i) __attribute__((always_inline)) {
        w[i()] = first[i()];
        s[i()] = Word::splat(kInitialState[i()]);
    });
    s[3] = Word::splat(kSecondRound0E) + w[0];
    s[7] = Word::splat(kSecondRound0A) + w[0];
    unroll<1, 4>([&](auto r) __attribute__((always_inline)) {
        roundWith<r()>(s, w[r()] + Word::splat(kRoundConstants[r()] + kInitialState[7 - r()]));
    });
    roundsLookingAhead<4, 57>(
        s, [&](auto r) __attribute__((always_inline)) {
            if constexpr (r() >= 8 && r() < 16) {
                return Word::splat(secondBlockKw(r()));
            } else {
                if constexpr (r() >= 16) w[r()] = secondBlockWord<r()>(w);
                return w[r()] + Word::splat(kRoundConstants[r()]);
            }
        });
    unroll<57, 61>([&](auto r)
                       __attribute__((always_inline)) { w[r()] = secondBlockWord<r()>(w); });
}

// h7 of the second hash, from the state after round 56: e after round 60, plus its initial value
// (added with round 60's constant).
template <class Word>
CORVANTA_LANE_INLINE Word secondHashH7(const Word w[64], const Word s[8]) {
    Word probe[8];
    unroll<0, 8>([&](auto i) __attribute__((always_inline)) { probe[i()] = s[i()]; });
    unroll<57, 61>([&](auto r) __attribute__((always_inline)) {
        constexpr std::uint32_t kFinal = r() == 60 ? kInitialState[7] : 0;
        roundForE<r()>(probe, w[r()] + Word::splat(kRoundConstants[r()] + kFinal));
    });
    return probe[(12 - 61) & 7];  // e's slot entering round 61 (see roundWith())
}

template <class Word>
CORVANTA_LANE_INLINE void finishSecondHash(Word w[64], Word s[8]) {
    unroll<57, 61>([&](auto r) __attribute__((always_inline)) {
        round<r()>(s, w[r()] + Word::splat(kRoundConstants[r()]));
    });
    unroll<61, 64>([&](auto r) __attribute__((always_inline)) {
        w[r()] = expand(w, r());
        round<r()>(s, w[r()] + Word::splat(kRoundConstants[r()]));
    });
    unroll<0, 8>([&](auto i) __attribute__((always_inline)) {
        s[i()] = s[i()] + Word::splat(kInitialState[i()]);
    });
}

template <class Word>
std::uint64_t scanLanes(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                        std::uint32_t threshold, CandidateBatch& out) {
    constexpr int kLanes = Word::kLanes;
    static_assert(kLanes <= kMaxLanes);
    const FirstHashConstants<Word> constants(job);
    const Word laneIndex = Word::laneIndices();
    const Word limit = Word::splat(threshold);
    for (std::uint64_t offset = from; offset < to;) {
        const std::uint64_t remaining = to - offset;
        const int active = remaining < kLanes ? static_cast<int>(remaining) : kLanes;
        const Word nonce =
            Word::splat(static_cast<std::uint32_t>(job.startNonce + offset)) + laneIndex;
        Word first[8];
        firstHash(constants, nonce, first);
        Word w[64];
        Word s[8];
        secondHashTo56(first, w, s);
        // The digest's top 32 bits as a little-endian number are h7 byte-swapped.
        const Word top = Word::byteSwap(secondHashH7(w, s));
        std::uint32_t candidates = Word::atMost(top, limit);
        if (active < kLanes) candidates &= (std::uint32_t{1} << active) - 1;
        if (candidates != 0) {
            finishSecondHash(w, s);
            unroll<0, 8>([&](auto i) { s[i()].store(out.state[i()]); });
            out.offset = offset;
            out.candidates = candidates;
            return offset + static_cast<std::uint64_t>(active);
        }
        offset += static_cast<std::uint64_t>(active);
    }
    out.candidates = 0;
    return to;
}

// Two independent vectors per step: the processor overlaps their dependency chains.
template <class Word>
struct Pair {
    static constexpr int kLanes = 2 * Word::kLanes;
    Word lo, hi;

    static CORVANTA_LANE_INLINE Pair splat(std::uint32_t x) {
        return {Word::splat(x), Word::splat(x)};
    }
    static CORVANTA_LANE_INLINE Pair laneIndices() {
        return {Word::laneIndices(), Word::laneIndices() + Word::splat(Word::kLanes)};
    }
    friend CORVANTA_LANE_INLINE Pair operator+(const Pair& x, const Pair& y) {
        return {x.lo + y.lo, x.hi + y.hi};
    }
    static CORVANTA_LANE_INLINE Pair bigSigma0(const Pair& x) {
        return {Word::bigSigma0(x.lo), Word::bigSigma0(x.hi)};
    }
    static CORVANTA_LANE_INLINE Pair bigSigma1(const Pair& x) {
        return {Word::bigSigma1(x.lo), Word::bigSigma1(x.hi)};
    }
    static CORVANTA_LANE_INLINE Pair smallSigma0(const Pair& x) {
        return {Word::smallSigma0(x.lo), Word::smallSigma0(x.hi)};
    }
    static CORVANTA_LANE_INLINE Pair smallSigma1(const Pair& x) {
        return {Word::smallSigma1(x.lo), Word::smallSigma1(x.hi)};
    }
    static CORVANTA_LANE_INLINE Pair choose(const Pair& e, const Pair& f, const Pair& g) {
        return {Word::choose(e.lo, f.lo, g.lo), Word::choose(e.hi, f.hi, g.hi)};
    }
    static CORVANTA_LANE_INLINE Pair majority(const Pair& a, const Pair& b, const Pair& c) {
        return {Word::majority(a.lo, b.lo, c.lo), Word::majority(a.hi, b.hi, c.hi)};
    }
    static CORVANTA_LANE_INLINE Pair byteSwap(const Pair& x) {
        return {Word::byteSwap(x.lo), Word::byteSwap(x.hi)};
    }
    static CORVANTA_LANE_INLINE std::uint32_t atMost(const Pair& x, const Pair& limit) {
        return Word::atMost(x.lo, limit.lo) | (Word::atMost(x.hi, limit.hi) << Word::kLanes);
    }
    CORVANTA_LANE_INLINE void store(std::uint32_t* words) const {
        lo.store(words);
        hi.store(words + Word::kLanes);
    }
};

}  // namespace
}  // namespace corvanta::sha256::lanes
