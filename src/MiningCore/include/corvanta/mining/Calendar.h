#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace corvanta {

struct HourMinute {
    int hour = 0;
    int minute = 0;
    bool operator==(const HourMinute&) const = default;
};

// Turns an instant into the wall-clock time of day in some time zone.
class Calendar {
  public:
    using Breakdown =
        std::function<std::optional<HourMinute>(std::chrono::system_clock::time_point)>;

    explicit Calendar(Breakdown breakdown);

    // The process's local time zone ($TZ, else the system's), looked up afresh at every call so
    // a time-zone or daylight-saving change takes effect at once.
    static Calendar current();

    // nullopt when the instant cannot be broken down.
    std::optional<HourMinute> hourMinute(std::chrono::system_clock::time_point instant) const;

  private:
    Breakdown breakdown_;
};

}  // namespace corvanta
