// The hybrid backend: AVX-512 lanes and SHA-NI streams searched in one thread, for processors
// that have both. Single-block compression has no lanes to fill and goes to SHA-NI alone.

#include "Backends.h"
#include "LaneSearch.h"
#include "ShaNi.h"

namespace corvanta::sha256::backends {
namespace {

std::uint64_t searchChunk(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                          std::uint32_t startNonce, std::uint64_t count,
                          const std::uint8_t target[32], std::uint32_t* hits,
                          std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                          std::uint32_t* bestNonceOut) {
    return lanes::searchInLanes(lanes::scanAvx512ShaNi, midstate, tail, startNonce, count, target,
                                hits, hitCapacity, bestDigestOut, bestNonceOut);
}

}  // namespace

const Backend avx512ShaNi{"avx512+sha-ni", "AVX-512+SHA-NI", shani::compress, searchChunk};

}  // namespace corvanta::sha256::backends
