#include "Session/SessionRules.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "Session/SessionTimings.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {

std::optional<PowerMode> appliedPowerMode(std::optional<int> effectiveWorkerCount, int maxWorkers) {
    if (!effectiveWorkerCount) return std::nullopt;
    const int count = *effectiveWorkerCount;
    if (maxWorkers < 1) return count < 1 ? PowerMode::eco : PowerMode::max;
    if (count >= maxWorkers) return PowerMode::max;
    if (maxWorkers == 1) return PowerMode::eco;
    // Two thirds of any int: doubled in 64 bits, where it cannot overflow.
    return count >= (2 * std::int64_t{maxWorkers}) / 3 ? PowerMode::balanced : PowerMode::eco;
}

int workersFor(PowerMode mode, int performanceCores) {
    const int n = std::max(performanceCores, 1);
    switch (mode) {
        case PowerMode::eco:
            return performanceCores < 3 ? 1 : n / 3;
        case PowerMode::balanced:
            return performanceCores < 2 ? 1 : int((2 * std::int64_t{n}) / 3);
        case PowerMode::max:
            return n;
    }
    return n;
}

bool isThrottledBelow(PowerMode requested, std::optional<int> effectiveWorkerCount,
                      int performanceCores) {
    const auto applied = appliedPowerMode(effectiveWorkerCount, performanceCores);
    return applied &&
           workersFor(*applied, performanceCores) < workersFor(requested, performanceCores);
}

std::optional<WorkLoadStatistics> workLoadStatistics(const std::vector<double>& latencies) {
    if (latencies.empty()) return std::nullopt;
    auto sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    const auto n = sorted.size();
    const double sum = std::accumulate(sorted.begin(), sorted.end(), 0.0);
    const auto p95Index = std::min(n - 1, static_cast<std::size_t>(std::floor(double(n) * 0.95)));
    return WorkLoadStatistics{sum / double(n), sorted[p95Index], sorted.back()};
}

ScheduleDecision scheduleDecision(bool isDriving, const MiningSchedule& schedule,
                                  std::chrono::system_clock::time_point now,
                                  const Calendar& calendar) {
    if (!isDriving) return {};
    const ScheduledMode mode = schedule.mode(now, calendar);
    return {mode == ScheduledMode::off, usesSmartPolicy(mode), powerMode(mode), mode};
}

QString utcDescription(std::chrono::system_clock::time_point instant) {
    return toDateTime(instant).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" +0000");
}

namespace {

QDateTime inZone(std::chrono::system_clock::time_point instant,
                 const std::optional<QTimeZone>& zone) {
    const qint64 ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
    return zone ? QDateTime::fromMSecsSinceEpoch(ms, *zone)
                : QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

}  // namespace

Calendar SessionClock::calendar() const {
    if (!timeZone) return Calendar::current();
    return Calendar([zone = *timeZone](std::chrono::system_clock::time_point instant)
                        -> std::optional<HourMinute> {
        const QDateTime local = inZone(instant, zone);
        if (!local.isValid()) return std::nullopt;
        return HourMinute{local.time().hour(), local.time().minute()};
    });
}

std::chrono::system_clock::time_point SessionClock::nextLocalMidnight(
    std::chrono::system_clock::time_point now) const {
    const QDateTime local = inZone(now, timeZone);
    const QDate tomorrow = local.date().addDays(1);
    const QDateTime midnight =
        timeZone ? tomorrow.startOfDay(*timeZone) : tomorrow.startOfDay(Qt::LocalTime);
    if (!local.isValid() || !midnight.isValid()) return now + std::chrono::seconds(86'400);
    return std::chrono::system_clock::time_point(
        std::chrono::milliseconds(midnight.toMSecsSinceEpoch()));
}

SessionTime blockHeaderTime(const json::Value& header) {
    const auto seconds = json::required<std::int64_t>(header, "time");
    if (seconds < earliestWholeSeconds().time_since_epoch().count() ||
        seconds > latestWholeSeconds().time_since_epoch().count()) {
        throw json::DecodeError("time", "outside the clock's range");
    }
    return SessionTime(std::chrono::seconds(seconds));
}

}  // namespace corvanta
