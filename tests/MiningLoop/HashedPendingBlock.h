#pragma once

#include <cstdint>
#include <vector>

#include "DisplayHex.h"
#include "LoopFakes.h"
#include "corvanta/loop/PendingBlockStore.h"
#include "corvanta/mining/Target.h"

namespace corvanta::testing {

// A pending block of kOwnership's at `height`, as the loop stores one: a whole block whose header
// hashes to the recorded hash and meets its target, and whose coinbase pushes the height, carries
// the mark and pays 50 BTC to the script. Blocks of different `seed` differ. `plan` stands for
// another miner's.
inline PendingBlock hashedPendingBlock(std::int64_t height, std::uint8_t seed,
                                       WallClock::time_point foundAt,
                                       const CoinbasePayoutPlan& plan = kOwnership.payoutPlan()) {
    auto job = makeJob(seed, "lp", height);
    job.payoutPlan = plan;
    const auto candidate = job.candidate(seed, std::nullopt);
    // The first nonce whose header meets the job's target: about one in two does.
    const auto target = *Target::fromCompactBits(0x207fffff);
    auto block = candidate.serialized(0);
    for (std::uint32_t nonce = 1; !target.isMet(doubleSHA256(std::span(block).first(80)));
         ++nonce) {
        block = candidate.serialized(nonce);
    }
    const auto header = std::span(block).first(80);
    return PendingBlock{.height = height,
                        .blockHashHex = loop::displayHex(doubleSHA256(header)),
                        .blockHex = BitcoinEncoding::hexString(block),
                        .coinbaseTxIDHex = loop::displayHex(candidate.coinbaseTxid),
                        .rewardSats = 5'000'000'000,
                        .foundAt = wholeSeconds(foundAt)};
}

}  // namespace corvanta::testing
