#include "corvanta/mining/MiningSchedule.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <utility>

namespace corvanta {

MiningSchedule::MiningSchedule(ScheduledMode fillingWith)
    : slots_(static_cast<std::size_t>(slotCount), fillingWith) {}

MiningSchedule::MiningSchedule(std::vector<ScheduledMode> slots) : slots_(std::move(slots)) {
    assert(slots_.size() == static_cast<std::size_t>(slotCount));
    // Keep the invariant even when assertions are compiled out.
    slots_.resize(static_cast<std::size_t>(slotCount), ScheduledMode::max);
}

std::size_t MiningSchedule::wrapped(std::int64_t index) {
    const std::int64_t remainder = index % slotCount;
    return static_cast<std::size_t>(remainder < 0 ? remainder + slotCount : remainder);
}

ScheduledMode MiningSchedule::operator[](std::int64_t index) const {
    return slots_[wrapped(index)];
}

ScheduledMode& MiningSchedule::operator[](std::int64_t index) {
    return slots_[wrapped(index)];
}

int MiningSchedule::slotIndex(std::chrono::system_clock::time_point date,
                              const Calendar& calendar) {
    const HourMinute time = calendar.hourMinute(date).value_or(HourMinute{});
    const int minutes = time.hour * 60 + time.minute;
    return std::clamp(minutes / slotMinutes, 0, slotCount - 1);
}

ScheduledMode MiningSchedule::mode(std::chrono::system_clock::time_point at,
                                   const Calendar& calendar) const {
    return slots_[static_cast<std::size_t>(slotIndex(at, calendar))];
}

void MiningSchedule::setMode(ScheduledMode mode, std::int64_t from, std::int64_t through) {
    std::int64_t lo = std::min(from, through);
    std::int64_t hi = std::max(from, through);
    if (hi < 0 || lo > slotCount - 1) return;
    lo = std::max<std::int64_t>(lo, 0);
    hi = std::min<std::int64_t>(hi, slotCount - 1);
    std::fill(slots_.begin() + lo, slots_.begin() + hi + 1, mode);
}

std::string MiningSchedule::startLabel(int ofSlot) {
    const int minutes = ofSlot * slotMinutes;
    char label[32];
    std::snprintf(label, sizeof label, "%02d:%02d", minutes / 60, minutes % 60);
    return label;
}

json::Value MiningSchedule::toJSON() const {
    json::Value names = json::Value::array();
    for (const ScheduledMode slot : slots_) names.push_back(std::string(rawValue(slot)));
    return names;
}

std::string MiningSchedule::encodeJSON() const {
    return json::dump(toJSON());
}

MiningSchedule MiningSchedule::fromJSON(const json::Value& value) {
    if (!value.is_array()) throw json::DecodeError("schedule", "expected an array of mode names");
    std::vector<ScheduledMode> slots;
    slots.reserve(static_cast<std::size_t>(slotCount));
    for (std::size_t index = 0; index < value.size(); ++index) {
        const std::string where = "schedule[" + std::to_string(index) + "]";
        const auto name = json::as<std::string>(value[index], where);
        const auto mode = scheduledModeFromRawValue(name);
        if (!mode) throw json::DecodeError(where, "unknown mode \"" + name + "\"");
        // Names past the 144th are still checked: the whole array must be valid before it is cut.
        if (slots.size() < static_cast<std::size_t>(slotCount)) slots.push_back(*mode);
    }
    slots.resize(static_cast<std::size_t>(slotCount), ScheduledMode::max);
    return MiningSchedule(std::move(slots));
}

MiningSchedule MiningSchedule::decodeJSON(std::string_view text) {
    return fromJSON(json::parse(text));
}

}  // namespace corvanta
