#pragma once

#include <chrono>
#include <compare>

namespace corvanta {

// An instant as seconds since 2001-01-01 00:00:00 UTC, the form the snapshot file stores. The
// double itself is kept, so a date read back from the file compares equal to the one written.
struct ReferenceDate {
    // Seconds from 1970-01-01 to 2001-01-01.
    static constexpr double secondsFromUnixEpoch = 978'307'200.0;

    double secondsSinceReferenceDate = 0;

    static ReferenceDate from(std::chrono::system_clock::time_point instant);
    static ReferenceDate now();

    // True when the instant lies within what a system_clock time point holds (with nanosecond
    // ticks, 1677 to 2262); false for anything else, a NaN included.
    bool fitsTimePoint() const;
    // The instant; one that does not fit is clamped to the nearest end of the range.
    std::chrono::system_clock::time_point timePoint() const;

    auto operator<=>(const ReferenceDate&) const = default;
};

}  // namespace corvanta
