#include "corvanta/mining/Calendar.h"

#include <ctime>
#include <utility>

namespace corvanta {

Calendar::Calendar(Breakdown breakdown) : breakdown_(std::move(breakdown)) {}

Calendar Calendar::current() {
    return Calendar([](std::chrono::system_clock::time_point instant) -> std::optional<HourMinute> {
        const std::time_t seconds = std::chrono::system_clock::to_time_t(instant);
        // localtime_r does not promise to re-read $TZ, so do it explicitly.
        ::tzset();
        std::tm local{};
        if (::localtime_r(&seconds, &local) == nullptr) return std::nullopt;
        return HourMinute{local.tm_hour, local.tm_min};
    });
}

std::optional<HourMinute> Calendar::hourMinute(
    std::chrono::system_clock::time_point instant) const {
    if (!breakdown_) return std::nullopt;
    return breakdown_(instant);
}

}  // namespace corvanta
