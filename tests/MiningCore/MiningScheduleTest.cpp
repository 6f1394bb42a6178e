#include "corvanta/mining/MiningSchedule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TestSupport.h"

namespace corvanta {
namespace {

using namespace std::chrono;

std::string namesArray(int count, const std::string& name) {
    std::string text = "[";
    for (int i = 0; i < count; ++i) text += (i ? ",\"" : "\"") + name + "\"";
    return text + "]";
}

TEST(MiningScheduleJson, RoundTripsEveryModeInSlotOrder) {
    MiningSchedule schedule(ScheduledMode::off);
    for (int slot = 0; slot < MiningSchedule::slotCount; ++slot) {
        schedule[slot] = allScheduledModes[static_cast<std::size_t>(slot) % 5];
    }
    const auto text = schedule.encodeJSON();
    EXPECT_TRUE(text.starts_with(R"(["off","eco","balanced","max","smart","off")"));
    EXPECT_EQ(MiningSchedule::decodeJSON(text), schedule);
}

TEST(MiningScheduleJson, ShortArraysArePaddedWithMaxAndLongOnesCut) {
    const auto shortOne = MiningSchedule::decodeJSON(namesArray(100, "eco"));
    for (int slot = 0; slot < 100; ++slot) EXPECT_EQ(shortOne[slot], ScheduledMode::eco);
    for (int slot = 100; slot < 144; ++slot) EXPECT_EQ(shortOne[slot], ScheduledMode::max);

    EXPECT_EQ(MiningSchedule::decodeJSON("[]"), MiningSchedule(ScheduledMode::max));

    std::string longText = namesArray(144, "off");
    longText.back() = ',';
    longText += namesArray(56, "smart").substr(1);
    EXPECT_EQ(MiningSchedule::decodeJSON(longText), MiningSchedule(ScheduledMode::off));
}

TEST(MiningScheduleJson, RejectsUnknownNamesWrongCaseAndOtherShapes) {
    for (const std::string text :
         {R"(["eco","turbo"])", R"(["Eco"])", R"(["MAX"])", R"([1])", R"({"slots":[]})", "\"max\"",
          "[null]", "not json", "1e400", R"(["eco",2e808])",
          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]"
          "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"}) {
        EXPECT_THROW(MiningSchedule::decodeJSON(text), json::DecodeError) << text;
    }
    // The whole array must be valid, even past the slots that are kept.
    EXPECT_THROW(MiningSchedule::decodeJSON(namesArray(144, "eco").insert(1, "\"bad\",")),
                 json::DecodeError);
}

TEST(MiningScheduleSlots, IndexesWrapAndRangesClamp) {
    MiningSchedule schedule(ScheduledMode::max);
    schedule[-1] = ScheduledMode::off;
    EXPECT_EQ(schedule.slots()[143], ScheduledMode::off);
    EXPECT_EQ(schedule[-145], ScheduledMode::off);
    schedule[288] = ScheduledMode::eco;
    EXPECT_EQ(schedule.slots()[0], ScheduledMode::eco);

    MiningSchedule ranged(ScheduledMode::max);
    ranged.setMode(ScheduledMode::off, 150, 140);
    for (int slot = 0; slot < 144; ++slot) {
        EXPECT_EQ(ranged[slot], slot >= 140 ? ScheduledMode::off : ScheduledMode::max) << slot;
    }
    const auto before = ranged;
    ranged.setMode(ScheduledMode::eco, -5, -1);
    ranged.setMode(ScheduledMode::eco, 144, 400);
    EXPECT_EQ(ranged, before);
    ranged.setMode(ScheduledMode::smart, -3, 1);
    EXPECT_EQ(ranged[0], ScheduledMode::smart);
    EXPECT_EQ(ranged[1], ScheduledMode::smart);
    EXPECT_EQ(ranged[2], ScheduledMode::max);
}

TEST(MiningScheduleSlots, SlotOfATimeOfDayAndItsLabel) {
    const auto at = [](int hour, int minute) {
        return Calendar([=](system_clock::time_point) -> std::optional<HourMinute> {
            return HourMinute{hour, minute};
        });
    };
    const system_clock::time_point anyInstant{};
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, at(0, 9)), 0);
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, at(13, 37)), 81);
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, at(23, 59)), 143);
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, at(24, 30)), 143);
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, at(0, -20)), 0);
    const Calendar broken([](system_clock::time_point) { return std::optional<HourMinute>{}; });
    EXPECT_EQ(MiningSchedule::slotIndex(anyInstant, broken), 0);

    EXPECT_EQ(MiningSchedule::startLabel(0), "00:00");
    EXPECT_EQ(MiningSchedule::startLabel(6), "01:00");
    EXPECT_EQ(MiningSchedule::startLabel(81), "13:30");
    EXPECT_EQ(MiningSchedule::startLabel(143), "23:50");
}

system_clock::time_point utc(year_month_day day, int hour, int minute) {
    return sys_days(day) + hours(hour) + minutes(minute);
}

TEST(MiningScheduleSlots, FollowLocalTimeAcrossMidnightAndDaylightSaving) {
    // A POSIX rule keeps the zone independent of the installed tz data.
    const testing::ScopedEnv zone("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    MiningSchedule schedule(ScheduledMode::max);
    schedule[143] = ScheduledMode::off;
    schedule[0] = ScheduledMode::eco;
    schedule[11] = ScheduledMode::balanced;
    schedule[18] = ScheduledMode::smart;

    // 23:55 and 00:00 local time (UTC+1) on either side of midnight.
    EXPECT_EQ(schedule.mode(utc(2026y / March / 28, 22, 55)), ScheduledMode::off);
    EXPECT_EQ(schedule.mode(utc(2026y / March / 28, 23, 0)), ScheduledMode::eco);

    // Clocks jump from 02:00 to 03:00 at 01:00 UTC on 29 March 2026: ten real minutes apart,
    // 01:55 and 03:05 local.
    EXPECT_EQ(MiningSchedule::slotIndex(utc(2026y / March / 29, 0, 55)), 11);
    EXPECT_EQ(schedule.mode(utc(2026y / March / 29, 1, 5)), ScheduledMode::smart);

    // And back at 01:00 UTC on 25 October 2026: 02:30 local comes twice.
    EXPECT_EQ(MiningSchedule::slotIndex(utc(2026y / October / 25, 0, 30)), 15);
    EXPECT_EQ(MiningSchedule::slotIndex(utc(2026y / October / 25, 1, 30)), 15);
}

}  // namespace
}  // namespace corvanta
