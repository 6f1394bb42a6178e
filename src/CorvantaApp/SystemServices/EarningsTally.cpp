#include "SystemServices/EarningsTally.h"

#include <algorithm>
#include <limits>

namespace corvanta {
namespace {

constexpr std::int64_t kCoinbaseMaturity = 100;

// Figures from the node are checked on decoding; a sum of many still saturates, never wraps.
void add(std::int64_t& total, std::int64_t sats) {
    if (__builtin_add_overflow(total, sats, &total)) {
        total = sats > 0 ? std::numeric_limits<std::int64_t>::max()
                         : std::numeric_limits<std::int64_t>::min();
    }
}

}  // namespace

void EarningsTally::scanned(const EarningsSnapshot& snapshot,
                            std::vector<EarningsOutput> immature) {
    std::erase_if(held_, [&](const EarningsOutput& output) {
        return output.height <= snapshot.scannedAtHeight;
    });
    held_.insert(held_.end(), immature.begin(), immature.end());
    EarningsSnapshot base = snapshot;
    base.immatureSats = 0;
    base.immatureOutputCount = 0;
    scan_ = std::move(base);
    tip_ = std::max(tip_, snapshot.scannedAtHeight);
}

void EarningsTally::blockAccepted(std::int64_t height, std::int64_t sats) {
    tip_ = std::max(tip_, height);
    if (scan_ && height <= scan_->scannedAtHeight) return;
    held_.push_back({height, sats});
}

void EarningsTally::tipAt(std::int64_t height) {
    tip_ = height;
}

std::optional<EarningsSnapshot> EarningsTally::shown() const {
    if (!scan_) return std::nullopt;
    EarningsSnapshot figures = *scan_;
    for (const auto& output : held_) {
        if (tip_ - output.height < kCoinbaseMaturity) {
            add(figures.immatureSats, output.sats);
            ++figures.immatureOutputCount;
        } else {
            add(figures.matureSats, output.sats);
            ++figures.matureOutputCount;
        }
    }
    return figures;
}

}  // namespace corvanta
