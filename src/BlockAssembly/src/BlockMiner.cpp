#include "corvanta/assembly/BlockMiner.h"

#include <algorithm>
#include <stdexcept>

#include "corvanta/mining/HashJob.h"

namespace corvanta {

BlockMiner::BlockMiner(std::shared_ptr<HashEngine> engine) : engine_(std::move(engine)) {
    if (!engine_) throw std::invalid_argument("BlockMiner needs an engine");
}

std::optional<MiningOutcome> BlockMiner::mine(const BlockCandidate& candidate, NonceRange range,
                                              std::stop_token stop) const {
    const HashJob job(candidate.header, candidate.target);
    for (std::uint64_t swept = 0; swept < range.count();) {
        if (stop.stop_requested()) return std::nullopt;
        const std::uint64_t batch = std::min(range.count() - swept, batchSize);
        // Within the range, so below 2^32: the range never crosses the end of the nonce space.
        const auto start = static_cast<std::uint32_t>(range.start() + swept);
        const auto winners = engine_->search(job, NonceRange(start, batch), true, stop);
        for (const std::uint32_t nonce : winners) {
            const auto header = job.headerBytes(nonce);
            const Hash32 digest = doubleSHA256(header);
            if (!candidate.target.isMet(digest)) continue;  // a faulty engine's claim
            return MiningOutcome{
                .nonce = nonce,
                .blockHash = digest,
                .serializedBlock = candidate.serialized(nonce),
                .coinbaseTxid = candidate.coinbaseTxid,
                .rewardSats = candidate.minerRewardSats,
            };
        }
        swept += batch;
    }
    return std::nullopt;
}

std::optional<Hash32> BlockMiner::bestDigestBigEndianBytes() const {
    return engine_->bestDigestBigEndianBytes();
}

}  // namespace corvanta
