#pragma once

#include <cstdint>
#include <limits>

namespace corvanta {

// No output, and no reward, can be more than all the bitcoin there will ever be: 21,000,000 BTC.
inline constexpr std::int64_t maxMoneySats = 21'000'000LL * 100'000'000LL;

// The node counts block heights in a signed 32-bit number.
inline constexpr std::int64_t maxBlockHeight = std::numeric_limits<std::int32_t>::max();

}  // namespace corvanta
