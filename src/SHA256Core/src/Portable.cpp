// The reference backend: plain C++, one nonce at a time, four lanes per batch as the contract
// describes. Every other backend is tested against this one.

#include <cstring>

#include "Backends.h"
#include "ScalarRounds.h"
#include "SearchCommon.h"

namespace corvanta::sha256::backends {
namespace {

using search::kRoundConstants;

void compressOne(std::uint32_t state[8], const std::uint8_t block[64]) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = search::loadBigEndian(block + 4 * i);
    for (int i = 16; i < 64; ++i)
        w[i] =
            w[i - 16] + scalar::smallSigma0(w[i - 15]) + w[i - 7] + scalar::smallSigma1(w[i - 2]);
    scalar::Working v = scalar::working(state);
    for (int i = 0; i < 64; ++i) scalar::round(v, kRoundConstants[i] + w[i]);
    state[0] += v.a;
    state[1] += v.b;
    state[2] += v.c;
    state[3] += v.d;
    state[4] += v.e;
    state[5] += v.f;
    state[6] += v.g;
    state[7] += v.h;
}

void compress(std::uint32_t state[8], const std::uint8_t* data, std::uint64_t blockCount) {
    for (std::uint64_t i = 0; i < blockCount; ++i) compressOne(state, data + 64 * i);
}

std::uint64_t searchChunk(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                          std::uint32_t startNonce, std::uint64_t count,
                          const std::uint8_t target[32], std::uint32_t* hits,
                          std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                          std::uint32_t* bestNonceOut) {
    constexpr int kLanes = 4;
    std::uint8_t first[kLanes][64];
    std::uint8_t second[kLanes][64];
    for (int lane = 0; lane < kLanes; ++lane) {
        search::layOutFirstBlock(first[lane], tail);
        search::layOutSecondBlock(second[lane]);
    }
    if (count == 0) return search::emptySearch(bestDigestOut);

    search::Tally tally(hits, hitCapacity);
    for (std::uint64_t done = 0; done < count;) {
        const int lanes = static_cast<int>(count - done < kLanes ? count - done : kLanes);
        std::uint32_t nonces[kLanes];
        std::uint8_t digests[kLanes][32];
        for (int lane = 0; lane < lanes; ++lane) {
            nonces[lane] = static_cast<std::uint32_t>(startNonce + done + lane);
            search::storeLittleEndian(first[lane] + 12, nonces[lane]);
            std::uint32_t state[8];
            std::memcpy(state, midstate, sizeof state);
            compressOne(state, first[lane]);
            search::stateToBytes(state, second[lane]);
            std::memcpy(state, search::kInitialState, sizeof state);
            compressOne(state, second[lane]);
            search::stateToBytes(state, digests[lane]);
        }
        for (int lane = 0; lane < lanes; ++lane)
            tally.consider(nonces[lane], digests[lane], target);
        done += static_cast<std::uint64_t>(lanes);
    }
    return tally.finish(bestDigestOut, bestNonceOut);
}

}  // namespace

const Backend portable{"portable", "portable", compress, searchChunk};

}  // namespace corvanta::sha256::backends
