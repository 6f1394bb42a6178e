// A raw block (or a coinbase alone) from a node or a file that may hold anything: refused, or a
// coinbase whose amounts are within all the money there is, read without reading past the bytes;
// its height and mark are read only from the shape the miner writes.

#include "FuzzSupport.h"
#include "corvanta/assembly/ChainLimits.h"
#include "corvanta/loop/BlockCoinbase.h"

using namespace corvanta;

namespace {

void check(const BlockCoinbase& coinbase) {
    const auto height = coinbase.pushedHeight();
    fuzz::expect(!height || (*height >= 0 && *height <= 0xFFFFFFFFFFLL), "an impossible height");
    if (coinbase.extranonceMark()) {
        fuzz::expect(height.has_value(), "a mark without the height before it");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto alone = BlockCoinbase::decodeTransaction(std::span(data, size))) check(*alone);
    // Read whole, to the last byte, and never past it.
    if (!BlockCoinbase::flawOfWholeBlock(std::span(data, size))) {
        fuzz::expect(size >= 80 + 1 + 10, "a whole block shorter than a header and a transaction");
    }
    const auto coinbase = BlockCoinbase::decode(std::span(data, size));
    if (!coinbase) return 0;
    check(*coinbase);
    for (const auto& output : coinbase->outputs) {
        fuzz::expect(output.sats >= 0 && output.sats <= maxMoneySats, "an impossible amount");
        fuzz::expect(output.script.size() <= size, "a script longer than the block");
        fuzz::expect(coinbase->satsPaidTo(output.script) >= output.sats, "a payment not counted");
    }
    return 0;
}
