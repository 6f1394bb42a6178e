// The launch record beside the node's data folder: refused, or a plausible record that reads the
// same once written back.

#include "FuzzSupport.h"
#include "NodeLaunchRecord.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto record = NodeLaunchRecord::decode(fuzz::textOf(data, size));
    if (!record) return 0;
    fuzz::expect(record->node.pid > 1 && record->launcher.pid > 1, "accepted an impossible pid");
    fuzz::expect(!record->program.empty() && !record->dataDirectory.empty(),
                 "accepted an empty program or folder");
    fuzz::expect(NodeLaunchRecord::decode(record->encoded()) == record,
                 "record changed through a round trip");
    return 0;
}
