#pragma once

#include <filesystem>

#include "corvanta/mining/SystemState.h"

namespace corvanta::sysfs {

// Reads the supplies under `powerSupplyClass` (/sys/class/power_supply). Supplies whose "scope"
// is "Device" (a wireless mouse's or keyboard's battery) say nothing about what powers the
// machine and are skipped. The machine is on battery when no external supply is online and one of
// its own batteries is discharging; with no supply at all (a desktop, a virtual machine) it is on
// mains.
PowerSourceState readPowerSourceState(const std::filesystem::path& powerSupplyClass);

}  // namespace corvanta::sysfs
