// The hybrid nonce search: thirty-two AVX-512 lanes and a few SHA-NI streams hashed in one loop
// body. The SHA-NI search alone is bound by the SHA round instruction's throughput and the
// AVX-512 search by the vector ALUs; spreading the SHA-NI quad rounds between the vector rounds
// lets both run at once. Built with -mavx512f -mavx512vl -msha -msse4.1.

#include "Avx512Word.h"
#include "ShaNiStreams.h"

namespace corvanta::sha256::lanes {
namespace {

// SHA-NI nonces per batch, after the thirty-two vector lanes. One measured best; each stream
// takes SHA round instructions from the same pipes the vector rotations need.
constexpr int kShaNiStreams = 1;

// The vector rounds that another piece of work can follow: rounds 4..63 of the first hash and
// 1..57 of the second (numbered on from 64), counted from 0.
constexpr int kSlots = 60 + 57;
constexpr int slotOf(int round) {
    return round < 64 ? round - 4 : round - 5;
}
static_assert(slotOf(63) == 59 && slotOf(65) == 60 && slotOf(121) == kSlots - 1);

// SHA-NI step taken after a slot, or -1: the steps spread evenly over the slots.
template <int Steps>
constexpr int stepAfter(int slot) {
    for (int step = 0; step < Steps; ++step) {
        if (step * kSlots / Steps == slot) return step;
    }
    return -1;
}

template <int N>
struct Interleaved {
    ShaNiStreams<N>& streams;
    const ShaNiPlan& plan;

    template <int Round>
    CORVANTA_LANE_INLINE void operator()(Index<Round>) const {
        constexpr int step = stepAfter<ShaNiStreams<N>::kSteps>(slotOf(Round));
        if constexpr (step >= 0) streams.template step<step>(plan);
    }
};

}  // namespace

std::uint64_t scanAvx512ShaNi(const SearchJob& job, std::uint64_t from, std::uint64_t to,
                              std::uint32_t threshold, CandidateBatch& out) {
    using Word = Pair<Avx512Word>;
    constexpr int kVectorLanes = Word::kLanes;
    constexpr int kLanes = kVectorLanes + kShaNiStreams;
    static_assert(kLanes <= kMaxLanes);
    const FirstHashConstants<Word> constants(job);
    const ShaNiPlan plan(job);
    const Word laneIndex = Word::laneIndices();
    const Word limit = Word::splat(threshold);
    for (std::uint64_t offset = from; offset < to;) {
        const std::uint64_t remaining = to - offset;
        const int active = remaining < kLanes ? static_cast<int>(remaining) : kLanes;
        const auto firstNonce = static_cast<std::uint32_t>(job.startNonce + offset);
        ShaNiStreams<kShaNiStreams> streams;
        streams.start(plan, firstNonce + kVectorLanes);
        Interleaved<kShaNiStreams> between{streams, plan};
        Word first[8];
        firstHash(constants, Word::splat(firstNonce) + laneIndex, first, between);
        Word w[64];
        Word s[8];
        secondHashTo57(first, w, s, between);
        const Word top = Word::byteSwap(secondHashH7(w, s));
        std::uint64_t candidates = Word::atMost(top, limit);
        for (int l = 0; l < kShaNiStreams; ++l) {
            if (streams.topWord(l) <= threshold)
                candidates |= std::uint64_t{1} << (kVectorLanes + l);
        }
        if (active < kLanes) candidates &= (std::uint64_t{1} << active) - 1;
        if (candidates != 0) {
            finishSecondHash(w, s);
            unroll<0, 8>([&](auto i) { s[i()].store(out.state[i()]); });
            streams.store(out, kVectorLanes);
            out.offset = offset;
            out.candidates = candidates;
            return offset + static_cast<std::uint64_t>(active);
        }
        offset += static_cast<std::uint64_t>(active);
    }
    out.candidates = 0;
    return to;
}

}  // namespace corvanta::sha256::lanes
