#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/assembly/BlockCandidate.h"
#include "corvanta/mining/HashEngine.h"
#include "corvanta/mining/NonceRange.h"

namespace corvanta {

// A found block, checked and ready to hand to the node.
struct MiningOutcome {
    std::uint32_t nonce = 0;
    Hash32 blockHash{};  // double SHA-256 of the winning header, hash byte order
    Bytes serializedBlock;
    Hash32 coinbaseTxid{};  // hash byte order
    std::int64_t rewardSats = 0;

    bool operator==(const MiningOutcome&) const = default;
};

// Sweeps a candidate's nonces on a hash engine and re-checks each reported winner on its own
// before trusting it.
class BlockMiner {
  public:
    // Nonces handed to the engine per search; a stop is looked at between batches.
    static constexpr std::uint64_t batchSize = std::uint64_t{1} << 26;

    explicit BlockMiner(std::shared_ptr<HashEngine> engine);

    const std::shared_ptr<HashEngine>& engine() const { return engine_; }

    // The first nonce of `range` whose header meets the candidate's target, as a whole block;
    // empty when the range is exhausted or `stop` was requested before the next batch. Hits the
    // engine returned are always checked, even after a stop, so a block found at the last moment
    // is not lost.
    std::optional<MiningOutcome> mine(const BlockCandidate& candidate, NonceRange range,
                                      std::stop_token stop) const;

    // The engine's lowest digest so far, big-endian.
    std::optional<Hash32> bestDigestBigEndianBytes() const;

  private:
    std::shared_ptr<HashEngine> engine_;
};

}  // namespace corvanta
