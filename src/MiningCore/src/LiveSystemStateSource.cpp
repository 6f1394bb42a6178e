#include "corvanta/mining/LiveSystemStateSource.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "PowerSupplies.h"
#include "SysfsAttribute.h"
#include "ThermalSensors.h"

namespace corvanta {

LiveSystemStateSource::LiveSystemStateSource(std::filesystem::path sysRoot,
                                             std::filesystem::path procRoot)
    : sysRoot_(std::move(sysRoot)), procRoot_(std::move(procRoot)) {}

ThermalState LiveSystemStateSource::currentThermalState() {
    return sysfs::readThermalState(sysRoot_ / "class");
}

PowerSourceState LiveSystemStateSource::currentPowerSourceState() {
    return sysfs::readPowerSourceState(sysRoot_ / "class" / "power_supply");
}

double LiveSystemStateSource::currentLoadAverage() {
    // "0.52 0.58 0.59 1/467 12345": the first field is the one-minute average.
    const auto text = sysfs::readAttribute(procRoot_ / "loadavg");
    if (!text) return 0;
    const std::string_view fields(*text);
    const std::size_t end = std::min(fields.find(' '), fields.size());
    double value = 0;
    const auto [stop, error] = std::from_chars(fields.data(), fields.data() + end, value);
    if (error != std::errc{} || stop != fields.data() + end || !std::isfinite(value) || value < 0) {
        return 0;
    }
    return value;
}

}  // namespace corvanta
