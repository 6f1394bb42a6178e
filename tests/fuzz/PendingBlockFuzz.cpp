// A pending-block file from a damaged disk: refused, or a record that can go into a file name and
// to the node, and that reads back the same.

#include "FuzzSupport.h"
#include "corvanta/loop/PendingBlockStore.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PendingBlock block;
    try {
        block = PendingBlockStore::decode(fuzz::textOf(data, size));
    } catch (const json::DecodeError&) {
        return 0;
    }
    fuzz::expect(block.isWellFormed(), "accepted a malformed pending block");
    fuzz::expect(block.fileName().find('/') == std::string::npos, "a path in the file name");
    fuzz::expect(block.height >= 0 && block.rewardSats >= 0, "accepted a negative number");
    fuzz::expect(PendingBlockStore::decode(PendingBlockStore::encode(block)) == block,
                 "pending block changed through a round trip");
    return 0;
}
