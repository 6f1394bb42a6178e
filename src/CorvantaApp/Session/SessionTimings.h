#pragma once

#include <QTimeZone>

#include <chrono>
#include <functional>
#include <optional>

#include "corvanta/mining/Calendar.h"

namespace corvanta {

// Every period of the session model's own tasks. Tests shorten them; the defaults are the
// product's.
struct SessionTimings {
    using Duration = std::chrono::milliseconds;

    Duration cpuUsageInterval{1000};        // CPU usage, heat and the widget snapshot
    Duration scheduleTickInterval{30'000};  // the day schedule's ticker
    Duration selfTestInterval{600'000};     // the engine self-test after the first
    Duration lifetimePersistInterval{60'000};
    // A chain status older than this is no longer fresh.
    Duration chainStatusFreshness{15'000};
    // Worker threads of the model's own pool: node calls can block for minutes.
    int poolThreads = 16;
};

// The clocks and the time zone the model reads. Wall time gives the dates it shows and stores;
// monotonic time measures intervals; the zone places the schedule's slots and midnight (none:
// the process's local zone, looked up afresh each time so a zone or DST change applies at once).
struct SessionClock {
    std::function<std::chrono::system_clock::time_point()> wallNow = [] {
        return std::chrono::system_clock::now();
    };
    std::function<std::chrono::steady_clock::time_point()> monotonicNow = [] {
        return std::chrono::steady_clock::now();
    };
    std::optional<QTimeZone> timeZone;

    Calendar calendar() const;
    // The start of the next local day, calendar arithmetic (a day across a DST change is 23 or 25
    // hours); now + 86,400 s when the zone cannot give that instant.
    std::chrono::system_clock::time_point nextLocalMidnight(
        std::chrono::system_clock::time_point now) const;
};

}  // namespace corvanta
