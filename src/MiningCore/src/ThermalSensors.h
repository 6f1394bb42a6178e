#pragma once

#include <filesystem>
#include <optional>

#include "corvanta/mining/SystemState.h"

namespace corvanta::sysfs {

// The limits of one temperature sensor, in millidegrees Celsius, as its driver reports them.
struct SensorLimits {
    std::optional<long long> throttle;  // a "passive" trip point or temp*_max: the hardware slows
    std::optional<long long> hot;       // a "hot" trip point: the platform asks to cool down now
    std::optional<long long> shutdown;  // a "critical" trip point or temp*_crit: power is cut
};

// Critical comes a little before the shutdown point, so mining stops before the machine does.
inline constexpr long long criticalMarginBelowShutdown = 5'000;
// Serious is never closer than this to critical, so workers are cut before mining has to stop.
inline constexpr long long seriousMarginBelowCritical = 10'000;
// Fair warns this far ahead of serious.
inline constexpr long long fairMarginBelowSerious = 10'000;

// One sensor's reading against its own limits. A sensor without limits is nominal.
ThermalState classifyTemperature(long long milliCelsius, const SensorLimits& limits);

// The worst state over every thermal zone (/class/thermal/thermal_zone*) and every hwmon
// temperature (/class/hwmon/hwmon*/temp*_input) under `sysClass` (/sys/class). Nominal when there
// is no sensor, as in virtual machines and containers.
ThermalState readThermalState(const std::filesystem::path& sysClass);

}  // namespace corvanta::sysfs
