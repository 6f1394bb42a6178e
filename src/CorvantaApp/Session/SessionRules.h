#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "Session/SessionRecords.h"
#include "corvanta/mining/Calendar.h"
// Qt's "slots" keyword would rename the schedule's accessor of the same name.
#pragma push_macro("slots")
#undef slots
#include "corvanta/mining/MiningSchedule.h"
#pragma pop_macro("slots")
#include "corvanta/mining/PowerMode.h"
#include "corvanta/support/StrictJson.h"

// The session model's pure rules: what the views' derived values and the schedule compute from
// the stored state.
namespace corvanta {

// The power mode a worker count corresponds to on `maxWorkers` performance cores; none for no
// count.
std::optional<PowerMode> appliedPowerMode(std::optional<int> effectiveWorkerCount, int maxWorkers);

// The workers a mode runs on `performanceCores` cores (the governor's base count).
int workersFor(PowerMode mode, int performanceCores);

// The applied mode runs fewer workers than the requested one; false when nothing is applied.
bool isThrottledBelow(PowerMode requested, std::optional<int> effectiveWorkerCount,
                      int performanceCores);

// The "time" of a getblockheader reply as an instant. Throws json::DecodeError when it is missing,
// not a whole number, or outside what the clock can hold.
SessionTime blockHeaderTime(const json::Value& header);

// Average, 95th percentile (index min(n - 1, floor(n × 0.95)) of the sorted values) and maximum;
// none for no latency.
std::optional<WorkLoadStatistics> workLoadStatistics(const std::vector<double>& latencies);

// What the schedule asks of a governor being created.
struct ScheduleDecision {
    bool shouldPause = false;
    bool usesSmart = false;
    std::optional<PowerMode> powerMode;
    std::optional<ScheduledMode> appliedMode;
    bool operator==(const ScheduleDecision&) const = default;
};

ScheduleDecision scheduleDecision(bool isDriving, const MiningSchedule& schedule,
                                  std::chrono::system_clock::time_point now,
                                  const Calendar& calendar);

// "2026-03-29 22:00:00 +0000": the instant in UTC as the suspension line prints it.
QString utcDescription(std::chrono::system_clock::time_point instant);

}  // namespace corvanta
