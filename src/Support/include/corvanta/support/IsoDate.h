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

// Accepts exactly the form formatIsoDate writes; anything else gives nullopt.
std::optional<WholeSeconds> parseIsoDate(std::string_view text);

}  // namespace corvanta
