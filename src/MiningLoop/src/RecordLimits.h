#pragma once

// What a record of a found block may hold and still be believed. Files and the node are not
// trusted: a record outside these limits is refused rather than counted or resubmitted.

#include <cstdint>

#include "corvanta/assembly/ChainLimits.h"

namespace corvanta::loop {

inline constexpr bool isPlausibleReward(std::int64_t sats) {
    return sats >= 0 && sats <= maxMoneySats;
}

inline constexpr bool isPlausibleHeight(std::int64_t height) {
    return height >= 0 && height <= maxBlockHeight;
}

}  // namespace corvanta::loop
