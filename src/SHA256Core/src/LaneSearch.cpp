// The baseline half of the multi-lane searches: prepares what every lane shares, keeps the hit
// list and the best digest in nonce order, and asks the kernel only about lanes whose top word
// says they might matter.

#include "LaneSearch.h"

#include <algorithm>

#include "SearchCommon.h"

namespace corvanta::sha256::lanes {
namespace {

using search::kRoundConstants;

constexpr std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}
constexpr std::uint32_t sigma0(std::uint32_t x) {
    return rotr(x, 7) ^ rotr(x, 18) ^ (x >> 3);
}
constexpr std::uint32_t sigma1(std::uint32_t x) {
    return rotr(x, 17) ^ rotr(x, 19) ^ (x >> 10);
}
constexpr std::uint32_t bigSigma0(std::uint32_t x) {
    return rotr(x, 2) ^ rotr(x, 13) ^ rotr(x, 22);
}
constexpr std::uint32_t bigSigma1(std::uint32_t x) {
    return rotr(x, 6) ^ rotr(x, 11) ^ rotr(x, 25);
}
constexpr std::uint32_t choose(std::uint32_t e, std::uint32_t f, std::uint32_t g) {
    return (e & f) ^ (~e & g);
}
constexpr std::uint32_t majority(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return (a & b) ^ (a & c) ^ (b & c);
}

std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

SearchJob prepareJob(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                     std::uint32_t startNonce) {
    constexpr std::uint32_t kPaddingBit = 0x80000000;
    constexpr std::uint32_t kLengthWord = 640;
    const std::uint32_t w[3] = {loadBigEndian(tail), loadBigEndian(tail + 4),
                                loadBigEndian(tail + 8)};
    SearchJob job{};
    job.startNonce = startNonce;
    std::copy(midstate, midstate + 8, job.midstate);

    std::uint32_t a = midstate[0], b = midstate[1], c = midstate[2], d = midstate[3];
    std::uint32_t e = midstate[4], f = midstate[5], g = midstate[6], h = midstate[7];
    for (int r = 0; r < 3; ++r) {
        const std::uint32_t t1 = h + bigSigma1(e) + choose(e, f, g) + kRoundConstants[r] + w[r];
        const std::uint32_t t2 = bigSigma0(a) + majority(a, b, c);
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    const std::uint32_t entering[8] = {a, b, c, d, e, f, g, h};
    std::copy(entering, entering + 8, job.enteringRound3);
    const std::uint32_t t1 = h + bigSigma1(e) + choose(e, f, g) + kRoundConstants[3];
    job.round3E = d + t1;
    job.round3A = t1 + bigSigma0(a) + majority(a, b, c);

    // Words 4..15 are padding: 4 the padding bit, 15 the length, the rest zero.
    job.w16 = sigma0(w[1]) + w[0];
    job.w17 = sigma1(kLengthWord) + sigma0(w[2]) + w[1];
    job.w18Base = sigma1(job.w16) + w[2];
    job.w19Base = sigma1(job.w17) + sigma0(kPaddingBit);
    return job;
}

// The most significant 32 bits of a digest (hash byte order) read as a little-endian number.
std::uint32_t topWord(const std::uint8_t digest[32]) {
    return (std::uint32_t{digest[31]} << 24) | (std::uint32_t{digest[30]} << 16) |
           (std::uint32_t{digest[29]} << 8) | std::uint32_t{digest[28]};
}

// A lane whose top word is above both the target's and the best digest's can be neither a hit
// nor a new best; one equal to either still needs the full comparison.
std::uint32_t rejectionThreshold(const search::Tally& tally, std::uint32_t targetTop) {
    if (!tally.hasBest()) return 0xFFFFFFFF;
    return std::max(targetTop, topWord(tally.bestDigest()));
}

}  // namespace

std::uint64_t searchInLanes(ScanFunction scan, const std::uint32_t midstate[8],
                            const std::uint8_t tail[16], std::uint32_t startNonce,
                            std::uint64_t count, const std::uint8_t target[32], std::uint32_t* hits,
                            std::uint64_t hitCapacity, std::uint8_t bestDigestOut[32],
                            std::uint32_t* bestNonceOut) {
    if (count == 0) return search::emptySearch(bestDigestOut);

    const SearchJob job = prepareJob(midstate, tail, startNonce);
    const std::uint32_t targetTop = loadBigEndian(target);
    search::Tally tally(hits, hitCapacity);
    CandidateBatch batch;
    for (std::uint64_t offset = 0; offset < count;) {
        offset = scan(job, offset, count, rejectionThreshold(tally, targetTop), batch);
        for (int lane = 0; lane < kMaxLanes; ++lane) {
            if ((batch.candidates >> lane & 1) == 0) continue;
            std::uint32_t state[8];
            for (int i = 0; i < 8; ++i) state[i] = batch.state[i][lane];
            std::uint8_t digest[32];
            search::stateToBytes(state, digest);
            const auto nonce = static_cast<std::uint32_t>(startNonce + batch.offset + lane);
            tally.consider(nonce, digest, target);
        }
    }
    return tally.finish(bestDigestOut, bestNonceOut);
}

}  // namespace corvanta::sha256::lanes
