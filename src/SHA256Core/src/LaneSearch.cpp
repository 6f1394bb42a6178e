// The baseline half of the multi-lane searches: prepares what every lane shares, keeps the hit
// list and the best digest in nonce order, and asks the kernel only about lanes whose top word
// says they might matter.

#include "LaneSearch.h"

#include <algorithm>

#include "ScalarRounds.h"
#include "SearchCommon.h"

namespace corvanta::sha256::lanes {
namespace {

using scalar::smallSigma0;
using scalar::smallSigma1;
using search::kRoundConstants;
using search::loadBigEndian;

SearchJob prepareJob(const std::uint32_t midstate[8], const std::uint8_t tail[16],
                     std::uint32_t startNonce) {
    constexpr std::uint32_t kPaddingBit = 0x80000000;
    constexpr std::uint32_t kLengthWord = 640;
    const std::uint32_t w[3] = {loadBigEndian(tail), loadBigEndian(tail + 4),
                                loadBigEndian(tail + 8)};
    SearchJob job{};
    job.startNonce = startNonce;
    std::copy(midstate, midstate + 8, job.midstate);

    scalar::Working v = scalar::working(midstate);
    for (int r = 0; r < 3; ++r) scalar::round(v, kRoundConstants[r] + w[r]);
    const std::uint32_t entering[8] = {v.a, v.b, v.c, v.d, v.e, v.f, v.g, v.h};
    std::copy(entering, entering + 8, job.enteringRound3);
    scalar::round(v, kRoundConstants[3]);
    job.round3E = v.e;
    job.round3A = v.a;

    // Words 4..15 are padding: 4 the padding bit, 15 the length, the rest zero.
    job.w16 = smallSigma0(w[1]) + w[0];
    job.w17 = smallSigma1(kLengthWord) + smallSigma0(w[2]) + w[1];
    job.w18Base = smallSigma1(job.w16) + w[2];
    job.w19Base = smallSigma1(job.w17) + smallSigma0(kPaddingBit);
    return job;
}

// A lane whose top word is above both the target's and the best digest's can be neither a hit
// nor a new best; one equal to either still needs the full comparison.
std::uint32_t rejectionThreshold(const search::Tally& tally, std::uint32_t targetTop) {
    if (!tally.hasBest()) return 0xFFFFFFFF;
    return std::max(targetTop, search::digestTopWord(tally.bestDigest()));
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
