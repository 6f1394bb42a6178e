#pragma once

#include <filesystem>

#include "corvanta/mining/SystemState.h"

namespace corvanta {

// The machine's own state, read from sysfs and procfs on every call.
// - Thermal: the worst of the thermal zones and hwmon temperature sensors, each against its own
//   trip points and limits; nominal when the machine exposes no sensor.
// - Power: battery when no external supply is online and a system battery is discharging;
//   batteries of attached devices (mice, keyboards) are ignored; no supply at all means mains.
// - Load: the one-minute load average.
class LiveSystemStateSource final : public SystemStateSource {
  public:
    // The roots are parameters so that tests can point them at a fake tree.
    explicit LiveSystemStateSource(std::filesystem::path sysRoot = "/sys",
                                   std::filesystem::path procRoot = "/proc");

    ThermalState currentThermalState() override;
    PowerSourceState currentPowerSourceState() override;
    double currentLoadAverage() override;

  private:
    const std::filesystem::path sysRoot_;
    const std::filesystem::path procRoot_;
};

}  // namespace corvanta
