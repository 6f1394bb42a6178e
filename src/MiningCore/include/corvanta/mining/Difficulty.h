#pragma once

#include <cstdint>
#include <span>

#include "corvanta/mining/Hash32.h"

namespace corvanta::Difficulty {

// 00 00 00 00 FF FF followed by 26 zero bytes: the target of difficulty 1, big-endian.
const Hash32& difficulty1Target();

// The difficulty of a 256-bit value given big-endian (a digest with its bytes reversed): the
// difficulty-1 target divided by the value, both folded into doubles. Exactly 1.0 for the
// difficulty-1 target; +infinity for an empty or all-zero value.
double value(std::span<const std::uint8_t> ofBigEndianBytes);

}  // namespace corvanta::Difficulty
