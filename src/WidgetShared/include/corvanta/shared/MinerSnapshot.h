#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "corvanta/shared/ReferenceDate.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {

// What the widgets show: the miner's state as the application last wrote it. Stored as one JSON
// object whose keys are the field names; the two optional keys are left out when absent and read
// as absent when missing or null, every other key is required.
struct MinerSnapshot {
    // A snapshot older than this is stale.
    static constexpr double freshnessWindow = 300;

    double hashRateMHs = 0;
    // A session is running (neither idle nor failed).
    bool isRunning = false;
    // Hashing is paused, by the user or by the governor.
    bool isPaused = false;
    // The power mode in force: "eco", "balanced" or "max".
    std::optional<std::string> appliedMode;
    std::optional<double> secondsSinceNetworkBlock;
    std::int64_t totalSats = 0;
    std::int64_t blocksFound = 0;
    ReferenceDate capturedAt;

    // True when 0 <= now - capturedAt <= freshnessWindow: a snapshot from the future is not.
    bool isFresh(std::chrono::system_clock::time_point now) const;

    // nullopt when a number is not finite: JSON cannot carry it, and writing null in its place
    // would turn the file into a different snapshot.
    std::optional<std::string> encodeJSON() const;
    // nullopt when the text is not a snapshot, or holds what the application never writes: an
    // unknown power mode, negative counters, a capture date outside what a time point holds.
    static std::optional<MinerSnapshot> decodeJSON(std::string_view text);

    bool operator==(const MinerSnapshot&) const = default;
};

}  // namespace corvanta
