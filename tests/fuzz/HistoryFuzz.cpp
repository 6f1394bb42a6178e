// A history file from a damaged disk: refused (the store then puts it aside), or records that
// read back the same.

#include "FuzzSupport.h"
#include "HistoryRecords.h"
#include "corvanta/assembly/ChainLimits.h"
#include "corvanta/loop/MiningHistoryStore.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<FoundBlock> blocks;
    try {
        blocks = MiningHistoryStore::decode(fuzz::textOf(data, size));
    } catch (const json::DecodeError&) {
        return 0;
    }
    for (const auto& block : blocks) {
        fuzz::expect(block.blockHash.size() == 32 && block.coinbaseTxID.size() == 32,
                     "accepted a hash other than 32 bytes");
        fuzz::expect(
            block.confirmations >= 0 && block.rewardSats >= 0 && block.rewardSats <= maxMoneySats,
            "accepted an impossible number");
    }
    fuzz::expect(MiningHistoryStore::decode(MiningHistoryStore::encode(blocks)) == blocks,
                 "history changed through a round trip");
    // The store keeps each record in its own form (an id as its bytes) and writes that back: the
    // file it writes must be one it reads.
    std::vector<FoundBlock> kept;
    for (const auto& block : blocks) kept.push_back(loop::HistoryRecord::of(block).block());
    try {
        fuzz::expect(MiningHistoryStore::decode(MiningHistoryStore::encode(kept)) == kept,
                     "the history as kept changed through a round trip");
    } catch (const json::DecodeError&) {
        fuzz::expect(false, "the history as kept does not read back");
    }
    return 0;
}
