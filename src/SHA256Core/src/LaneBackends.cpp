// The AVX2 and AVX-512 backends. Only the nonce search is vectorised; single-block compression
// (block assembly's SHA-256) stays on the portable code, where one block at a time gains nothing
// from wide lanes.

#include <array>

#include "Backends.h"
#include "LaneSearch.h"

namespace corvanta::sha256::backends {
namespace {

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    portable.compress(state, data, blockCount);
}

// The kernel is a template argument rather than a runtime one so that each backend still fits
// the plain function pointer that Backend holds.
template <lanes::ScanFunction kScan>
std::uint64_t searchChunk(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                          std::uint32_t startNonce, std::uint64_t count,
                          const std::uint8_t target[32], std::uint32_t* hits,
                          std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                          std::uint32_t* bestNonceOut) {
    return lanes::searchInLanes(kScan, midstate, tail, startNonce, count, target, hits, hitCapacity,
                                bestDigestOut, bestNonceOut);
}

}  // namespace

const Backend avx2{"avx2", "AVX2", compress, searchChunk<lanes::scanAvx2>};
const std::array<Backend, 2> avx512Builds = {{
    {"avx512/16", "AVX-512, 16 lanes", compress, searchChunk<lanes::scanAvx512x16>},
    {"avx512/32", "AVX-512, 2 x 16 lanes", compress, searchChunk<lanes::scanAvx512x32>},
}};

const Backend avx512{"avx512", "AVX-512", compress, searchChunk<lanes::scanAvx512x32>};

}  // namespace corvanta::sha256::backends
