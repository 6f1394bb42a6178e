#pragma once

// What a record of a found block may hold and still be believed. Files and the node are not
// trusted: a record outside these limits is refused rather than counted or resubmitted.

#include <cstdint>
#include <limits>

namespace corvanta::loop {

// No output can pay more than all the bitcoin there will ever be: 21,000,000 BTC.
inline constexpr std::int64_t maxRewardSats = 21'000'000LL * 100'000'000LL;

// The node counts heights in a signed 32-bit number.
inline constexpr std::int64_t maxBlockHeight = std::numeric_limits<std::int32_t>::max();

inline constexpr bool isPlausibleReward(std::int64_t sats) {
    return sats >= 0 && sats <= maxRewardSats;
}

inline constexpr bool isPlausibleHeight(std::int64_t height) {
    return height >= 0 && height <= maxBlockHeight;
}

}  // namespace corvanta::loop
