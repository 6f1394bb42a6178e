#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "corvanta/shared/ReferenceDate.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {

// Whether the process `id` still runs (one that is not ours to signal runs too).
bool processRunning(std::int64_t id);

// What the widgets show: the miner's state as the application last wrote it. Stored as one JSON
// object whose keys are the field names; the optional keys are left out when absent and read as
// absent when missing or null, every other key is required. Readers that predate an optional key
// ignore it, so a key is only ever added as an optional one.
struct MinerSnapshot {
    // A snapshot older than this is stale.
    static constexpr double freshnessWindow = 300;
    // How long past its own update interval a writer may be late before its snapshot is stale:
    // a busy second or a slow disk, never a writer that has gone.
    static constexpr double writerGrace = 5;

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
    // The language the user chose in the application, as its two-letter code, so that the
    // widgets speak it without reading the application's settings.
    std::optional<std::string> language;
    // The writing process, and how often it rewrites the snapshot (seconds): a reader tells a
    // writer that has gone from one that is still at work.
    std::optional<std::int64_t> writerProcessID;
    std::optional<double> updateIntervalSeconds;

    // True when 0 <= now - capturedAt <= the window: freshnessWindow, or, for a snapshot that
    // names its update interval, that interval and writerGrace when shorter. A snapshot from the
    // future is not fresh.
    bool isFresh(std::chrono::system_clock::time_point now) const;

    // The snapshot as a reader shows it: not running once the process that wrote it has ended
    // (whatever the file still says: a writer that died could not say it stopped).
    MinerSnapshot seenByReader(
        const std::function<bool(std::int64_t)>& isProcessRunning = processRunning) const;

    // nullopt when a number is not finite: JSON cannot carry it, and writing null in its place
    // would turn the file into a different snapshot.
    std::optional<std::string> encodeJSON() const;
    // nullopt when the text is not a snapshot, or holds what the application never writes: an
    // unknown power mode, negative counters, a capture date outside what a time point holds, a
    // process id or an update interval that is not positive.
    static std::optional<MinerSnapshot> decodeJSON(std::string_view text);

    bool operator==(const MinerSnapshot&) const = default;
};

}  // namespace corvanta
