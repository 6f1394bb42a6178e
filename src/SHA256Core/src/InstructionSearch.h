#pragma once

// What the searches on SHA instructions (SHA-NI, ARMv8) share around their own batch kernels:
// the per-call plans of both hashes and the loop that feeds nonces through a kernel and tallies
// the results.
//
// An `Isa` names the instruction set's vector and state types and the primitives below use. The
// backend's own batch type comes with functions, found through it, that hash a batch of nonces far
// enough for each digest's top word to be known and finish a lane's digest on request.
//
// Everything has internal linkage, and each search file includes this inside its own target
// region: every instantiation is compiled for that file's instructions and stays in that file.

#include <cstdint>

#include "NonceFreeRounds.h"
#include "SearchCommon.h"

namespace corvanta::sha256::instructions {
namespace {

template <class Isa>
struct FirstHashPlan {
    typename Isa::State afterRound3;       // with the nonce word taken as zero
    typename Isa::State midstate;          // for the feed-forward
    typename Isa::Vector message0;         // words 0..3, word 3 (the nonce) zero
    typename Isa::Vector message[3];       // words 4..15: the padding of an 80-byte message
    typename Isa::Vector paddingPlusK[3];  // those words plus their round constants
};

template <class Isa>
struct SecondHashPlan {
    typename Isa::State initial;
    typename Isa::Vector message[2];       // words 8..15: the padding of a 32-byte message
    typename Isa::Vector paddingPlusK[2];  // those words plus their round constants
};

template <class Isa>
FirstHashPlan<Isa> planFirstHash(const std::uint32_t midstate[8], const std::uint8_t tail[16]) {
    const search::NonceFreeRounds prelude(midstate, tail);
    FirstHashPlan<Isa> plan{};
    plan.afterRound3 = Isa::loadState(prelude.state);
    plan.midstate = Isa::loadState(midstate);
    plan.message0 = Isa::words(prelude.message[0], prelude.message[1], prelude.message[2], 0);
    plan.message[0] = Isa::words(0x80000000, 0, 0, 0);
    plan.message[1] = Isa::words(0, 0, 0, 0);
    plan.message[2] = Isa::words(0, 0, 0, 640);
    for (int i = 0; i < 3; ++i)
        plan.paddingPlusK[i] = Isa::addWords(plan.message[i], Isa::roundConstants(i + 1));
    return plan;
}

template <class Isa>
SecondHashPlan<Isa> planSecondHash() {
    SecondHashPlan<Isa> plan{};
    plan.initial = Isa::loadState(search::kInitialState);
    plan.message[0] = Isa::words(0x80000000, 0, 0, 0);
    plan.message[1] = Isa::words(0, 0, 0, 256);
    for (int i = 0; i < 2; ++i)
        plan.paddingPlusK[i] = Isa::addWords(plan.message[i], Isa::roundConstants(i + 2));
    return plan;
}

// The whole search: same arguments and results as vesk_search_chunk. Batch holds kLanes nonces
// and comes with hashBatch(first, second, firstNonce, batch), topWord(batch, lane) and
// finishDigest(batch, lane, initial, digest).
template <class Isa, int kLanes, class Batch>
[[gnu::always_inline]] inline std::uint64_t searchChunk(
    const std::uint32_t midstate[8], const std::uint8_t tail[16], std::uint32_t startNonce,
    std::uint64_t count, const std::uint8_t target[32], std::uint32_t* hits,
    std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32], std::uint32_t* bestNonceOut) {
    if (count == 0) return search::emptySearch(bestDigestOut);

    const FirstHashPlan<Isa> first = planFirstHash<Isa>(midstate, tail);
    const SecondHashPlan<Isa> second = planSecondHash<Isa>();
    const std::uint32_t targetTop = search::loadBigEndian(target);
    search::Tally tally(hits, hitCapacity);
    std::uint32_t bestTop = 0;

    Batch batch;
    for (std::uint64_t done = 0; done < count; done += kLanes) {
        const auto firstNonce = static_cast<std::uint32_t>(startNonce + done);
        hashBatch(first, second, firstNonce, batch);
        const std::uint64_t lanes = count - done < kLanes ? count - done : kLanes;
        for (std::uint64_t l = 0; l < lanes; ++l) {
            const std::uint32_t top = topWord(batch, l);
            // A higher top word than both the target's and the best's decides both comparisons;
            // an equal one decides neither.
            if (tally.hasBest() && top > targetTop && top > bestTop) continue;
            std::uint8_t digest[32];
            finishDigest(batch, l, second.initial, digest);
            tally.consider(firstNonce + static_cast<std::uint32_t>(l), digest, target);
            bestTop = search::digestTopWord(tally.bestDigest());
        }
    }
    return tally.finish(bestDigestOut, bestNonceOut);
}

// The same, out of line: a backend's search routine with batches of kLanes nonces.
template <class Isa, int kLanes, class Batch>
std::uint64_t searchRoutine(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                            std::uint32_t startNonce, std::uint64_t count,
                            const std::uint8_t target[32], std::uint32_t* hits,
                            std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                            std::uint32_t* bestNonceOut) {
    return searchChunk<Isa, kLanes, Batch>(midstate, tail, startNonce, count, target, hits,
                                           hitCapacity, bestDigestOut, bestNonceOut);
}

}  // namespace
}  // namespace corvanta::sha256::instructions
