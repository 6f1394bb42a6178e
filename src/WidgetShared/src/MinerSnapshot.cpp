#include "corvanta/shared/MinerSnapshot.h"

#include <cmath>
#include <exception>

namespace corvanta {
namespace {

bool isPowerModeName(std::string_view name) {
    return name == "eco" || name == "balanced" || name == "max";
}

}  // namespace

bool MinerSnapshot::isFresh(std::chrono::system_clock::time_point now) const {
    const double age =
        ReferenceDate::from(now).secondsSinceReferenceDate - capturedAt.secondsSinceReferenceDate;
    // Written so that an age that is not a number is not fresh.
    return age >= 0 && age <= freshnessWindow;
}

std::optional<std::string> MinerSnapshot::encodeJSON() const {
    const bool finite = std::isfinite(hashRateMHs) &&
                        std::isfinite(capturedAt.secondsSinceReferenceDate) &&
                        (!secondsSinceNetworkBlock || std::isfinite(*secondsSinceNetworkBlock));
    if (!finite) return std::nullopt;

    json::Value object = {
        {"hashRateMHs", hashRateMHs}, {"isRunning", isRunning},
        {"isPaused", isPaused},       {"totalSats", totalSats},
        {"blocksFound", blocksFound}, {"capturedAt", capturedAt.secondsSinceReferenceDate},
    };
    if (appliedMode) object["appliedMode"] = *appliedMode;
    if (secondsSinceNetworkBlock) object["secondsSinceNetworkBlock"] = *secondsSinceNetworkBlock;
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
        // What the application never writes is no snapshot at all.
        if (snapshot.appliedMode && !isPowerModeName(*snapshot.appliedMode)) return std::nullopt;
        if (snapshot.totalSats < 0 || snapshot.blocksFound < 0) return std::nullopt;
        if (!snapshot.capturedAt.fitsTimePoint()) return std::nullopt;
        return snapshot;
    } catch (const std::exception&) {
        // Whatever is wrong with the file, the reader treats it like a missing one.
        return std::nullopt;
    }
}

}  // namespace corvanta
