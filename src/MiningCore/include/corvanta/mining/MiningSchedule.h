#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/mining/Calendar.h"
#include "corvanta/mining/PowerMode.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {

// The user's day plan: 144 ten-minute slots, slot i covering the local time from i × 10 minutes
// after midnight to 10 minutes later. Index arithmetic never fails: every index is reduced modulo
// 144 (negative ones wrap) and ranges are clamped.
class MiningSchedule {
  public:
    static constexpr int slotMinutes = 10;
    static constexpr int slotCount = 144;

    explicit MiningSchedule(ScheduledMode fillingWith);
    // `slots` must hold exactly slotCount modes.
    explicit MiningSchedule(std::vector<ScheduledMode> slots);

    const std::vector<ScheduledMode>& slots() const { return slots_; }

    ScheduledMode operator[](std::int64_t index) const;
    ScheduledMode& operator[](std::int64_t index);

    // The slot in force at `date`: 00:00-00:09 is slot 0, 13:37 slot 81, 23:59 slot 143.
    static int slotIndex(std::chrono::system_clock::time_point date,
                         const Calendar& calendar = Calendar::current());
    ScheduledMode mode(std::chrono::system_clock::time_point at,
                       const Calendar& calendar = Calendar::current()) const;

    // Sets slots from...through inclusive; the ends may come in either order and are clamped to
    // the day. A range wholly outside the day changes nothing.
    void setMode(ScheduledMode mode, std::int64_t from, std::int64_t through);

    // "HH:MM" of the slot's start, e.g. "13:30" for slot 81.
    static std::string startLabel(int ofSlot);

    // A JSON array of the slots' names, slot 0 first.
    json::Value toJSON() const;
    std::string encodeJSON() const;
    // Accepts any length: a short array is completed with `max` slots, a long one cut to 144.
    // Throws json::DecodeError when the value is not an array of known mode names.
    static MiningSchedule fromJSON(const json::Value& value);
    static MiningSchedule decodeJSON(std::string_view text);

    bool operator==(const MiningSchedule&) const = default;

  private:
    static std::size_t wrapped(std::int64_t index);

    std::vector<ScheduledMode> slots_;
};

}  // namespace corvanta
