#include "ThermalSensors.h"

#include <algorithm>
#include <string>

#include "SysfsAttribute.h"

namespace corvanta::sysfs {
namespace {

// Disabled trip points read as 0 or far below zero on some firmware.
void lowerTo(std::optional<long long>& limit, std::optional<long long> value) {
    if (!value || *value <= 0) return;
    limit = limit ? std::min(*limit, *value) : *value;
}

ThermalState worse(ThermalState a, ThermalState b) {
    return std::max(a, b);
}

ThermalState readZone(const std::filesystem::path& zone) {
    const auto temperature = readInteger(zone / "temp");
    if (!temperature) return ThermalState::nominal;
    SensorLimits limits;
    for (const auto& entry : entriesStartingWith(zone, "trip_point_")) {
        const std::string name = entry.filename().string();
        if (!name.ends_with("_type")) continue;
        const auto type = readAttribute(entry);
        const auto stem = name.substr(0, name.size() - std::string_view("_type").size());
        const auto limit = readInteger(zone / (stem + "_temp"));
        if (type == "passive") lowerTo(limits.throttle, limit);
        if (type == "hot") lowerTo(limits.hot, limit);
        if (type == "critical") lowerTo(limits.shutdown, limit);
    }
    return classifyTemperature(*temperature, limits);
}

ThermalState readHwmon(const std::filesystem::path& device) {
    ThermalState state = ThermalState::nominal;
    for (const auto& entry : entriesStartingWith(device, "temp")) {
        const std::string name = entry.filename().string();
        if (!name.ends_with("_input")) continue;
        const auto temperature = readInteger(entry);
        if (!temperature) continue;
        const auto stem = name.substr(0, name.size() - std::string_view("_input").size());
        SensorLimits limits;
        lowerTo(limits.throttle, readInteger(device / (stem + "_max")));
        lowerTo(limits.shutdown, readInteger(device / (stem + "_crit")));
        state = worse(state, classifyTemperature(*temperature, limits));
    }
    return state;
}

}  // namespace

ThermalState classifyTemperature(long long milliCelsius, const SensorLimits& limits) {
    std::optional<long long> critical = limits.hot;
    if (limits.shutdown) lowerTo(critical, *limits.shutdown - criticalMarginBelowShutdown);

    std::optional<long long> serious = limits.throttle;
    if (critical) lowerTo(serious, *critical - seriousMarginBelowCritical);

    if (critical && milliCelsius >= *critical) return ThermalState::critical;
    if (serious && milliCelsius >= *serious) return ThermalState::serious;
    if (serious && milliCelsius >= *serious - fairMarginBelowSerious) return ThermalState::fair;
    return ThermalState::nominal;
}

ThermalState readThermalState(const std::filesystem::path& sysClass) {
    ThermalState state = ThermalState::nominal;
    for (const auto& zone : entriesStartingWith(sysClass / "thermal", "thermal_zone")) {
        state = worse(state, readZone(zone));
    }
    for (const auto& device : entriesStartingWith(sysClass / "hwmon", "hwmon")) {
        state = worse(state, readHwmon(device));
    }
    return state;
}

}  // namespace corvanta::sysfs
