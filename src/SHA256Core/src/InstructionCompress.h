#pragma once

// General-purpose compression on SHA instructions (SHA-NI, ARMv8): any number of caller-supplied
// blocks. `Isa` is as in InstructionSearch.h; quadRound, add and store are found through the
// state type.
//
// Internal linkage, and included inside each caller's target region, for the same reason as
// InstructionSearch.h.

#include <cstdint>

namespace corvanta::sha256::instructions {
namespace {

template <class Isa>
[[gnu::always_inline]] inline void compressBlocks(std::uint32_t state[8], const std::uint8_t* data,
                                                  std::uint64_t blockCount) {
    if (blockCount == 0) return;
    typename Isa::State s = Isa::loadState(state);
    for (std::uint64_t block = 0; block < blockCount; ++block, data += 64) {
        const typename Isa::State saved = s;
        typename Isa::Vector w[4];
        for (int i = 0; i < 4; ++i) w[i] = Isa::loadMessage(data + 16 * i);
#pragma GCC unroll 16
        for (int q = 0; q < 16; ++q) {
            if (q >= 4) {
                w[q & 3] =
                    Isa::nextMessage(w[q & 3], w[(q + 1) & 3], w[(q + 2) & 3], w[(q + 3) & 3]);
            }
            quadRound(s, Isa::addWords(w[q & 3], Isa::roundConstants(q)));
        }
        s = add(s, saved);
    }
    store(s, state);
}

}  // namespace
}  // namespace corvanta::sha256::instructions
