// General-purpose compression on the ARMv8 SHA-2 instructions: any number of caller-supplied
// blocks.

#include "Armv8.h"
#include "Armv8Primitives.h"

namespace corvanta::sha256::armv8 {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    if (blockCount == 0) return;
    State s = load(state);
    for (std::uint64_t block = 0; block < blockCount; ++block, data += 64) {
        const State saved = s;
        uint32x4_t w[4];
        for (int i = 0; i < 4; ++i) w[i] = loadMessage(data + 16 * i);
#pragma GCC unroll 16
        for (int q = 0; q < 16; ++q) {
            if (q >= 4) {
                w[q & 3] = nextMessage(w[q & 3], w[(q + 1) & 3], w[(q + 2) & 3], w[(q + 3) & 3]);
            }
            quadRound(s, vaddq_u32(w[q & 3], roundConstants(q)));
        }
        s = add(s, saved);
    }
    store(s, state);
}

}  // namespace corvanta::sha256::armv8
