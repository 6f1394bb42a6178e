// General-purpose compression on SHA-NI: any number of caller-supplied blocks.

#include "ShaNi.h"
#include "ShaNiPrimitives.h"

#pragma GCC push_options
#pragma GCC target("sha,sse4.1")

namespace corvanta::sha256::shani {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    if (blockCount == 0) return;
    PackedState s = pack(state);
    for (std::uint64_t block = 0; block < blockCount; ++block, data += 64) {
        const PackedState saved = s;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) w[i] = loadMessage(data + 16 * i);
#pragma GCC unroll 16
        for (int q = 0; q < 16; ++q) {
            if (q >= 4)
                w[q & 3] = nextMessage(w[q & 3], w[(q + 1) & 3], w[(q + 2) & 3], w[(q + 3) & 3]);
            quadRound(s, _mm_add_epi32(w[q & 3], roundConstants(q)));
        }
        s = add(s, saved);
    }
    store(s, state);
}

}  // namespace corvanta::sha256::shani

#pragma GCC pop_options
