#pragma once

namespace corvanta {

// How hot the machine runs, from cool to "cool down now".
enum class ThermalState { nominal, fair, serious, critical };

enum class PowerSourceState { ac, battery };

// Where the governor reads the machine's state. Implementations must be safe to call from any
// thread and may block briefly (they read small system files).
class SystemStateSource {
  public:
    virtual ~SystemStateSource() = default;
    virtual ThermalState currentThermalState() = 0;
    virtual PowerSourceState currentPowerSourceState() = 0;
    // The one-minute load average; 0 when it cannot be read.
    virtual double currentLoadAverage() = 0;
};

}  // namespace corvanta
