// The AVX-512 backend: thirty-two nonces per step in sixteen-lane vectors. Only the search is
// vectorised; single-block compression (block assembly's SHA-256) stays on the portable code.

#include "Backends.h"
#include "LaneSearch.h"

namespace corvanta::sha256::backends {
namespace {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    portable.compress(state, data, blockCount);
}

std::uint64_t searchChunk(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                          std::uint32_t startNonce, std::uint64_t count,
                          const std::uint8_t target[32], std::uint32_t* hits,
                          std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                          std::uint32_t* bestNonceOut) {
    return lanes::searchInLanes(lanes::scanAvx512, midstate, tail, startNonce, count, target, hits,
                                hitCapacity, bestDigestOut, bestNonceOut);
}

}  // namespace

const Backend avx512{"avx512", "AVX-512", compress, searchChunk};

}  // namespace corvanta::sha256::backends
