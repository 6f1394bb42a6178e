// A stored day schedule: refused, or 144 slots that read back the same.

#include "FuzzSupport.h"
#include "corvanta/mining/MiningSchedule.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto schedule = MiningSchedule::decodeJSON(fuzz::textOf(data, size));
        fuzz::expect(MiningSchedule::decodeJSON(schedule.encodeJSON()) == schedule,
                     "schedule changed through a round trip");
    } catch (const json::DecodeError&) {
    }
    return 0;
}
