#include "corvanta/mining/PowerMode.h"

namespace corvanta {

std::string_view rawValue(PowerMode mode) {
    switch (mode) {
        case PowerMode::eco:
            return "eco";
        case PowerMode::balanced:
            return "balanced";
        case PowerMode::max:
            return "max";
    }
    return "balanced";
}

std::string_view rawValue(ScheduledMode mode) {
    switch (mode) {
        case ScheduledMode::off:
            return "off";
        case ScheduledMode::eco:
            return "eco";
        case ScheduledMode::balanced:
            return "balanced";
        case ScheduledMode::max:
            return "max";
        case ScheduledMode::smart:
            return "smart";
    }
    return "off";
}

std::optional<PowerMode> powerModeFromRawValue(std::string_view text) {
    for (const PowerMode mode : allPowerModes) {
        if (rawValue(mode) == text) return mode;
    }
    return std::nullopt;
}

std::optional<ScheduledMode> scheduledModeFromRawValue(std::string_view text) {
    for (const ScheduledMode mode : allScheduledModes) {
        if (rawValue(mode) == text) return mode;
    }
    return std::nullopt;
}

std::optional<PowerMode> powerMode(ScheduledMode mode) {
    switch (mode) {
        case ScheduledMode::off:
            return std::nullopt;
        case ScheduledMode::eco:
            return PowerMode::eco;
        case ScheduledMode::balanced:
            return PowerMode::balanced;
        case ScheduledMode::max:
        case ScheduledMode::smart:
            return PowerMode::max;
    }
    return std::nullopt;
}

bool usesSmartPolicy(ScheduledMode mode) {
    return mode == ScheduledMode::smart;
}

ScheduledMode scheduledMode(PowerMode mode) {
    switch (mode) {
        case PowerMode::eco:
            return ScheduledMode::eco;
        case PowerMode::balanced:
            return ScheduledMode::balanced;
        case PowerMode::max:
            return ScheduledMode::max;
    }
    return ScheduledMode::balanced;
}

}  // namespace corvanta
