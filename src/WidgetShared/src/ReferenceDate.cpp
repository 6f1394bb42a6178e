#include "corvanta/shared/ReferenceDate.h"

#include "corvanta/support/IsoDate.h"

namespace corvanta {
namespace {

// The range in seconds since the reference date, whole seconds inside the clock's own range.
double earliestSeconds() {
    return static_cast<double>(earliestWholeSeconds().time_since_epoch().count()) -
           ReferenceDate::secondsFromUnixEpoch;
}

double latestSeconds() {
    return static_cast<double>(latestWholeSeconds().time_since_epoch().count()) -
           ReferenceDate::secondsFromUnixEpoch;
}

}  // namespace

ReferenceDate ReferenceDate::from(std::chrono::system_clock::time_point instant) {
    const double unixSeconds = std::chrono::duration<double>(instant.time_since_epoch()).count();
    return {unixSeconds - secondsFromUnixEpoch};
}

ReferenceDate ReferenceDate::now() {
    return from(std::chrono::system_clock::now());
}

bool ReferenceDate::fitsTimePoint() const {
    return secondsSinceReferenceDate >= earliestSeconds() &&
           secondsSinceReferenceDate <= latestSeconds();
}

std::chrono::system_clock::time_point ReferenceDate::timePoint() const {
    // Converting a double beyond the tick count's range is undefined, not merely wrong.
    if (!(secondsSinceReferenceDate >= earliestSeconds())) return earliestWholeSeconds();
    if (secondsSinceReferenceDate > latestSeconds()) return latestWholeSeconds();
    const std::chrono::duration<double> unixSeconds(secondsSinceReferenceDate +
                                                    secondsFromUnixEpoch);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(unixSeconds));
}

}  // namespace corvanta
