#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace corvanta {

using WallClock = std::chrono::system_clock;
using WholeSeconds = std::chrono::time_point<WallClock, std::chrono::seconds>;

// The instant cut down to a whole second since 1970 (towards the past for instants before 1970).
WholeSeconds wholeSeconds(WallClock::time_point instant);

// "yyyy-MM-ddTHH:mm:ssZ", UTC, whole seconds (the fraction is dropped).
std::string formatIsoDate(WallClock::time_point instant);

// The whole seconds a WallClock::time_point can hold (with nanosecond ticks, 1677-09-21T00:12:44Z
// to 2262-04-11T23:47:16Z). A date outside them cannot be turned back into an instant.
WholeSeconds earliestWholeSeconds();
WholeSeconds latestWholeSeconds();

// Accepts exactly the form formatIsoDate writes, for a date within the range above; anything else
// gives nullopt.
std::optional<WholeSeconds> parseIsoDate(std::string_view text);

}  // namespace corvanta
