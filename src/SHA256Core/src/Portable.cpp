// The reference backend: plain C++, one nonce at a time, four lanes per batch as the contract
// describes. Every other backend is tested against this one.

#include <cstring>

#include "Backends.h"
#include "SearchCommon.h"

namespace corvanta::sha256::backends {
namespace {

using search::kRoundConstants;

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void compressOne(std::uint32_t state[8], const std::uint8_t block[64]) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = loadBigEndian(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25);
        const std::uint32_t ch = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + ch + kRoundConstants[i] + w[i];
        const std::uint32_t s0 = rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22);
        const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = s0 + maj;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
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
