// A raw block from a node that may answer anything: refused, or a coinbase whose amounts are
// within all the money there is, read without reading past the bytes.

#include "FuzzSupport.h"
#include "corvanta/assembly/ChainLimits.h"
#include "corvanta/loop/BlockCoinbase.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto coinbase = BlockCoinbase::decode(std::span(data, size));
    if (!coinbase) return 0;
    for (const auto& output : coinbase->outputs) {
        fuzz::expect(output.sats >= 0 && output.sats <= maxMoneySats, "an impossible amount");
        fuzz::expect(output.script.size() <= size, "a script longer than the block");
        fuzz::expect(coinbase->satsPaidTo(output.script) >= output.sats, "a payment not counted");
    }
    return 0;
}
