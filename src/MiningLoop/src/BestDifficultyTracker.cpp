#include "corvanta/loop/BestDifficultyTracker.h"

#include <algorithm>
#include <utility>

#include "corvanta/mining/Difficulty.h"

namespace corvanta {

BestDifficultyTracker::BestDifficultyTracker(BestDifficultyStore store) : store_(std::move(store)) {
    if (const auto stored = store_.load()) {
        allTimeBestDigest_.emplace(stored->begin(), stored->end());
    }
}

std::vector<std::string> BestDifficultyTracker::takeNotices() {
    std::lock_guard lock(mutex_);
    return std::exchange(notices_, {});
}

std::optional<BestDifficultyReport> BestDifficultyTracker::report(
    const std::optional<std::vector<std::uint8_t>>& sessionBestDigest,
    std::span<const std::uint8_t> networkTargetBigEndianBytes) {
    if (!sessionBestDigest) return std::nullopt;
    std::vector<std::uint8_t> allTime;
    {
        // The save stays inside the lock so two improvements are never written out of order.
        std::lock_guard lock(mutex_);
        if (!allTimeBestDigest_ ||
            std::lexicographical_compare(sessionBestDigest->begin(), sessionBestDigest->end(),
                                         allTimeBestDigest_->begin(), allTimeBestDigest_->end())) {
            allTimeBestDigest_ = *sessionBestDigest;
            try {
                auto saved = store_.save(*sessionBestDigest);
                // The file held a better one than this run knew of: that one stays the best.
                allTimeBestDigest_.emplace(saved.held.begin(), saved.held.end());
                if (saved.notice) notices_.push_back(std::move(*saved.notice));
            } catch (const std::exception& error) {
                // Kept in memory for the rest of the session; the next improvement tries again.
                notices_.push_back(std::string("Best difficulty not saved: ") + error.what() +
                                   ". It is kept in memory until it can be written.");
            }
        }
        allTime = *allTimeBestDigest_;
    }
    return BestDifficultyReport{Difficulty::value(*sessionBestDigest), Difficulty::value(allTime),
                                Difficulty::value(networkTargetBigEndianBytes)};
}

}  // namespace corvanta
