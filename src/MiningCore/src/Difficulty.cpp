#include "corvanta/mining/Difficulty.h"

#include <limits>

namespace corvanta::Difficulty {
namespace {

// Folding into a double rather than dividing exactly keeps difficulty 1 at exactly 1.0, and the
// ledger recomputes stored difficulties with this same function.
double fold(std::span<const std::uint8_t> bigEndianBytes) {
    double value = 0;
    for (const std::uint8_t byte : bigEndianBytes) value = value * 256 + byte;
    return value;
}

}  // namespace

const Hash32& difficulty1Target() {
    static const Hash32 target = [] {
        Hash32 bytes{};
        bytes[4] = 0xFF;
        bytes[5] = 0xFF;
        return bytes;
    }();
    return target;
}

double value(std::span<const std::uint8_t> ofBigEndianBytes) {
    const double folded = fold(ofBigEndianBytes);
    if (!(folded > 0)) return std::numeric_limits<double>::infinity();
    return fold(difficulty1Target()) / folded;
}

}  // namespace corvanta::Difficulty
