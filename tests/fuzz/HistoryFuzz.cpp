// A history file from a damaged disk: refused (the store then puts it aside), or records that
// read back the same.

#include "FuzzSupport.h"
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
    return 0;
}
