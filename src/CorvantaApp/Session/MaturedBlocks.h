#pragma once

#include <vector>

#include "corvanta/loop/FoundBlock.h"

namespace corvanta {

// The blocks of `updated` that are mature and were not mature in `previous`, in the order of
// `updated`; none without a baseline, so a refresher's first look notifies nothing.
std::vector<FoundBlock> newlyMaturedBlocks(const std::vector<FoundBlock>& previous,
                                           const std::vector<FoundBlock>& updated,
                                           bool hasBaseline);

}  // namespace corvanta
