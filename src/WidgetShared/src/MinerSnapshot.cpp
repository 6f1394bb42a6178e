#include "corvanta/shared/MinerSnapshot.h"

#include <cerrno>
#include <cmath>
#include <exception>
#include <limits>

#include <signal.h>

namespace corvanta {
namespace {

bool isPowerModeName(std::string_view name) {
    return name == "eco" || name == "balanced" || name == "max";
}

}  // namespace

bool processRunning(std::int64_t id) {
    // Beyond pid_t nothing runs; 0 and negative ids name process groups, not a process.
    if (id <= 0 || id > std::numeric_limits<pid_t>::max()) return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

bool MinerSnapshot::isFresh(std::chrono::system_clock::time_point now) const {
    const double age =
        ReferenceDate::from(now).secondsSinceReferenceDate - capturedAt.secondsSinceReferenceDate;
    const double window = updateIntervalSeconds
                              ? std::fmin(freshnessWindow, *updateIntervalSeconds + writerGrace)
                              : freshnessWindow;
    // Written so that an age that is not a number is not fresh.
    return age >= 0 && age <= window;
}

MinerSnapshot MinerSnapshot::seenByReader(
    const std::function<bool(std::int64_t)>& isProcessRunning) const {
    MinerSnapshot seen = *this;
    if (seen.isRunning && writerProcessID && !isProcessRunning(*writerProcessID)) {
        seen.isRunning = false;
        seen.isPaused = false;
        seen.hashRateMHs = 0;
    }
    return seen;
}

std::optional<std::string> MinerSnapshot::encodeJSON() const {
    const bool finite = std::isfinite(hashRateMHs) &&
                        std::isfinite(capturedAt.secondsSinceReferenceDate) &&
                        (!secondsSinceNetworkBlock || std::isfinite(*secondsSinceNetworkBlock)) &&
                        (!updateIntervalSeconds || std::isfinite(*updateIntervalSeconds));
    if (!finite) return std::nullopt;

    json::Value object = {
        {"hashRateMHs", hashRateMHs}, {"isRunning", isRunning},
        {"isPaused", isPaused},       {"totalSats", totalSats},
        {"blocksFound", blocksFound}, {"capturedAt", capturedAt.secondsSinceReferenceDate},
    };
    if (appliedMode) object["appliedMode"] = *appliedMode;
    if (secondsSinceNetworkBlock) object["secondsSinceNetworkBlock"] = *secondsSinceNetworkBlock;
    if (language) object["language"] = *language;
    if (writerProcessID) object["writerProcessID"] = *writerProcessID;
    if (updateIntervalSeconds) object["updateIntervalSeconds"] = *updateIntervalSeconds;
    return json::dump(object);
}

std::optional<MinerSnapshot> MinerSnapshot::decodeJSON(std::string_view text) {
    try {
        const json::Value object = json::parse(text);
        MinerSnapshot snapshot;
        snapshot.hashRateMHs = json::required<double>(object, "hashRateMHs");
        snapshot.isRunning = json::required<bool>(object, "isRunning");
        snapshot.isPaused = json::required<bool>(object, "isPaused");
        snapshot.appliedMode = json::optional<std::string>(object, "appliedMode");
        snapshot.secondsSinceNetworkBlock =
            json::optional<double>(object, "secondsSinceNetworkBlock");
        snapshot.totalSats = json::required<std::int64_t>(object, "totalSats");
        snapshot.blocksFound = json::required<std::int64_t>(object, "blocksFound");
        snapshot.capturedAt = {json::required<double>(object, "capturedAt")};
        snapshot.language = json::optional<std::string>(object, "language");
        snapshot.writerProcessID = json::optional<std::int64_t>(object, "writerProcessID");
        snapshot.updateIntervalSeconds = json::optional<double>(object, "updateIntervalSeconds");
        // What the application never writes is no snapshot at all.
        if (snapshot.appliedMode && !isPowerModeName(*snapshot.appliedMode)) return std::nullopt;
        if (snapshot.totalSats < 0 || snapshot.blocksFound < 0) return std::nullopt;
        if (!snapshot.capturedAt.fitsTimePoint()) return std::nullopt;
        if (snapshot.writerProcessID && *snapshot.writerProcessID <= 0) return std::nullopt;
        // Not a positive number (NaN included): no interval the application could keep.
        if (snapshot.updateIntervalSeconds && !(*snapshot.updateIntervalSeconds > 0)) {
            return std::nullopt;
        }
        return snapshot;
    } catch (const std::exception&) {
        // Whatever is wrong with the file, the reader treats it like a missing one.
        return std::nullopt;
    }
}

}  // namespace corvanta
