#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace corvanta {

// The effort the governor applies while mining.
enum class PowerMode { eco, balanced, max };

// What one slot of the day schedule asks for: `off` pauses mining, `smart` mines at full effort
// but yields workers while the rest of the machine is busy.
enum class ScheduledMode { off, eco, balanced, max, smart };

inline constexpr std::array<PowerMode, 3> allPowerModes{PowerMode::eco, PowerMode::balanced,
                                                        PowerMode::max};
inline constexpr std::array<ScheduledMode, 5> allScheduledModes{
    ScheduledMode::off, ScheduledMode::eco, ScheduledMode::balanced, ScheduledMode::max,
    ScheduledMode::smart};

// The stored names ("eco", "balanced", ...). Parsing is exact and case-sensitive; anything else
// gives nullopt.
std::string_view rawValue(PowerMode mode);
std::string_view rawValue(ScheduledMode mode);
std::optional<PowerMode> powerModeFromRawValue(std::string_view rawValue);
std::optional<ScheduledMode> scheduledModeFromRawValue(std::string_view rawValue);

// The effort a slot mines at: none for `off`, `max` for `smart`.
std::optional<PowerMode> powerMode(ScheduledMode mode);
bool usesSmartPolicy(ScheduledMode mode);
// The slot mode of the same name.
ScheduledMode scheduledMode(PowerMode mode);

}  // namespace corvanta
