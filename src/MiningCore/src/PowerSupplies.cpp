#include "PowerSupplies.h"

#include "SysfsAttribute.h"

namespace corvanta::sysfs {

PowerSourceState readPowerSourceState(const std::filesystem::path& powerSupplyClass) {
    bool externalOnline = false;
    bool systemBatteryDischarging = false;
    for (const auto& supply : entriesStartingWith(powerSupplyClass, "")) {
        if (readAttribute(supply / "scope") == "Device") continue;
        const auto type = readAttribute(supply / "type");
        if (!type) continue;
        if (*type == "Battery") {
            if (readAttribute(supply / "status") == "Discharging") systemBatteryDischarging = true;
        } else if (*type != "UPS") {
            // Mains, the USB kinds and wireless chargers all power the machine from outside.
            if (readInteger(supply / "online") == 1) externalOnline = true;
        }
    }
    return !externalOnline && systemBatteryDischarging ? PowerSourceState::battery
                                                       : PowerSourceState::ac;
}

}  // namespace corvanta::sysfs
