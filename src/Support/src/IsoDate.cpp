#include "corvanta/support/IsoDate.h"

#include <cstdio>

namespace corvanta {
namespace {

bool parseDigits(std::string_view text, std::size_t offset, std::size_t count, int& out) {
    out = 0;
    for (std::size_t i = offset; i < offset + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

WholeSeconds wholeSeconds(WallClock::time_point instant) {
    return std::chrono::floor<std::chrono::seconds>(instant);
}

WholeSeconds earliestWholeSeconds() {
    return std::chrono::ceil<std::chrono::seconds>(WallClock::time_point::min());
}

WholeSeconds latestWholeSeconds() {
    return std::chrono::floor<std::chrono::seconds>(WallClock::time_point::max());
}

std::string formatIsoDate(WallClock::time_point instant) {
    const auto seconds = wholeSeconds(instant);
    const auto days = std::chrono::floor<std::chrono::days>(seconds);
    const std::chrono::year_month_day date(days);
    const std::chrono::hh_mm_ss time(seconds - days);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::optional<WholeSeconds> parseIsoDate(std::string_view text) {
    // yyyy-MM-ddTHH:mm:ssZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    int year, month, day, hour, minute, second;
    if (!parseDigits(text, 0, 4, year) || !parseDigits(text, 5, 2, month) ||
        !parseDigits(text, 8, 2, day) || !parseDigits(text, 11, 2, hour) ||
        !parseDigits(text, 14, 2, minute) || !parseDigits(text, 17, 2, second)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    const WholeSeconds instant(std::chrono::sys_days(date).time_since_epoch() +
                               std::chrono::hours(hour) + std::chrono::minutes(minute) +
                               std::chrono::seconds(second));
    // Years 0000 to 9999 fit in seconds, but not all of them in the clock's own ticks.
    if (instant < earliestWholeSeconds() || instant > latestWholeSeconds()) return std::nullopt;
    return instant;
}

}  // namespace corvanta
