// A best-difficulty file from a damaged disk: no digest, or one that is not all zero and reads
// back the same.

#include <algorithm>

#include "FuzzSupport.h"
#include "corvanta/mining/BestDifficultyStore.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto digest = BestDifficultyStore::decode(fuzz::textOf(data, size));
    if (!digest) return 0;
    fuzz::expect(std::any_of(digest->begin(), digest->end(), [](auto b) { return b != 0; }),
                 "accepted an all-zero digest");
    fuzz::expect(BestDifficultyStore::decode(BestDifficultyStore::encode(*digest)) == digest,
                 "digest changed through a round trip");
    return 0;
}
