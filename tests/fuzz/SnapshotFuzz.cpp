// The snapshot file as a widget reads it: no snapshot, or one that can be written, reads back the
// same and whose date is an instant.

#include "FuzzSupport.h"
#include "corvanta/shared/MinerSnapshot.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto snapshot = MinerSnapshot::decodeJSON(fuzz::textOf(data, size));
    if (!snapshot) return 0;
    fuzz::expect(snapshot->totalSats >= 0 && snapshot->blocksFound >= 0,
                 "accepted a negative counter");
    fuzz::expect(snapshot->capturedAt.fitsTimePoint(), "accepted a date no time point holds");
    snapshot->isFresh(snapshot->capturedAt.timePoint());
    const auto text = snapshot->encodeJSON();
    fuzz::expect(text.has_value(), "an accepted snapshot cannot be written");
    fuzz::expect(MinerSnapshot::decodeJSON(*text) == snapshot,
                 "snapshot changed through a round trip");
    return 0;
}
