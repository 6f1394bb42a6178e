#pragma once

#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "corvanta/mining/BestDifficultyStore.h"

namespace corvanta {

struct BestDifficultyReport {
    double session;
    double allTime;
    double network;
};

// Keeps the lowest digest ever reached on the network across sessions and turns the session's
// best, that all-time best and the job's target into difficulties. Safe to call from any thread.
class BestDifficultyTracker {
  public:
    // Starts from the stored all-time best (none when the file is missing or unreadable).
    explicit BestDifficultyTracker(BestDifficultyStore store);

    // nullopt when there is no session digest yet. A session digest strictly below the all-time
    // best replaces it and is saved (a save failure leaves the improvement in memory).
    std::optional<BestDifficultyReport> report(
        const std::optional<std::vector<std::uint8_t>>& sessionBestDigest,
        std::span<const std::uint8_t> networkTargetBigEndianBytes);

    // The event log's lines about the file since the last call: one set aside before a save, a
    // save that failed. The caller says each once.
    std::vector<std::string> takeNotices();

  private:
    BestDifficultyStore store_;
    std::vector<std::string> notices_;
    std::mutex mutex_;
    std::optional<std::vector<std::uint8_t>> allTimeBestDigest_;
};

}  // namespace corvanta
