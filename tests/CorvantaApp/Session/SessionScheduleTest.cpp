// The day schedule, the manual pause and the manual power-mode choice, on a stepped clock in a
// time zone with daylight saving time.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "SessionHarness.h"
#include "Session/SessionRules.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

QDateTime paris(int year, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second),
                     QTimeZone("Europe/Paris"));
}

SessionTime instant(const QDateTime& moment) {
    return SessionTime(std::chrono::milliseconds(moment.toMSecsSinceEpoch()));
}

int countOf(const QStringList& lines, const QString& line) {
    return int(lines.count(line));
}

TEST(SessionSchedule, NextMidnightIsTheStartOfTheNextLocalDayAcrossDaylightSavingChanges) {
    const struct {
        const char* zone;
        QDateTime now;
        QString utcMidnight;
    } rows[] = {
        {"Europe/Paris", paris(2026, 6, 15, 23, 59, 59), "2026-06-15 22:00:00 +0000"},
        {"Europe/Paris", paris(2026, 1, 15, 0, 0), "2026-01-15 23:00:00 +0000"},
        // The day of the spring change lasts 23 hours, the autumn one 25.
        {"Europe/Paris", paris(2026, 3, 29, 1, 0), "2026-03-29 22:00:00 +0000"},
        {"Europe/Paris", paris(2026, 10, 25, 12, 0), "2026-10-25 23:00:00 +0000"},
        // A zone whose clocks jumped from 00:00 to 01:00: the day began at 01:00.
        {"America/Sao_Paulo",
         QDateTime(QDate(2018, 11, 3), QTime(12, 0), QTimeZone("America/Sao_Paulo")),
         "2018-11-04 03:00:00 +0000"},
    };
    for (const auto& row : rows) {
        SessionClock clock;
        clock.timeZone = QTimeZone(row.zone);
        EXPECT_EQ(utcDescription(clock.nextLocalMidnight(instant(row.now))), row.utcMidnight)
            << row.zone << " " << row.now.toString(Qt::ISODate).toStdString();
    }
}

TEST(SessionSchedule, ScheduleDecisionFollowsTheSlotInForce) {
    MiningSchedule schedule(ScheduledMode::balanced);
    schedule.setMode(ScheduledMode::off, 72, 72);
    schedule.setMode(ScheduledMode::smart, 73, 73);
    SessionClock clock;
    clock.timeZone = QTimeZone("Europe/Paris");
    const auto at = [&](int hour, int minute) { return instant(paris(2026, 6, 15, hour, minute)); };
    const auto calendar = clock.calendar();
    EXPECT_EQ(scheduleDecision(false, schedule, at(12, 0), calendar), ScheduleDecision{});
    EXPECT_EQ(scheduleDecision(true, schedule, at(12, 5), calendar),
              (ScheduleDecision{true, false, std::nullopt, ScheduledMode::off}));
    EXPECT_EQ(scheduleDecision(true, schedule, at(12, 10), calendar),
              (ScheduleDecision{false, true, PowerMode::max, ScheduledMode::smart}));
    EXPECT_EQ(scheduleDecision(true, schedule, at(0, 0), calendar),
              (ScheduleDecision{false, false, PowerMode::balanced, ScheduledMode::balanced}));
}

TEST(SessionSchedule, SlotChangesAreAppliedWithinOneTickAndLoggedOnce) {
    SessionHarness harness;
    harness.setWall(paris(2026, 6, 15, 12, 9, 50));
    const auto model = harness.make();
    model->setScheduleMode(ScheduledMode::eco, 0, 143);
    model->setScheduleMode("max", 73, 73);
    model->setScheduleMode(ScheduledMode::off, 74, 74);
    model->setScheduleMode(ScheduledMode::smart, 75, 75);
    model->setScheduleEnabled(true);
    EXPECT_EQ(logMessages(*model), QStringList{"Schedule slot 12:00 \u2014 eco"});
    EXPECT_EQ(model->powerMode(), PowerMode::eco);

    const struct {
        QDateTime at;
        QString line;
        PowerMode mode;
        QString storedMode;
    } steps[] = {
        {paris(2026, 6, 15, 12, 10), "Schedule slot 12:10 \u2014 max", PowerMode::max, "max"},
        // Off pauses through the governor and leaves the mode and its key alone.
        {paris(2026, 6, 15, 12, 20), "Schedule slot 12:20 \u2014 off", PowerMode::max, "max"},
        {paris(2026, 6, 15, 12, 30), "Schedule slot 12:30 \u2014 smart", PowerMode::max, "max"},
        {paris(2026, 6, 15, 12, 40), "Schedule slot 12:40 \u2014 eco", PowerMode::eco, "eco"},
    };
    for (const auto& step : steps) {
        harness.setWall(step.at);
        ASSERT_TRUE(waitUntil([&] { return logMessages(*model).contains(step.line); }))
            << step.line.toStdString();
        settle(50);  // more ticks within the slot
        EXPECT_EQ(countOf(logMessages(*model), step.line), 1);
        EXPECT_EQ(model->powerMode(), step.mode);
        EXPECT_EQ(harness.preferences().string("rigwell.powerMode"), step.storedMode);
        EXPECT_EQ(model->currentScheduleSlot(),
                  step.at.time().hour() * 6 + step.at.time().minute() / 10);
    }
}

TEST(SessionSchedule, AManualChoiceAtOneSecondToMidnightSuspendsTheScheduleForOneSecond) {
    SessionHarness harness;
    harness.setWall(paris(2026, 6, 15, 23, 59, 59));
    const auto model = harness.make();
    model->setScheduleMode(ScheduledMode::max, 0, 0);
    model->setScheduleEnabled(true);
    model->setManuallyPaused(true);

    model->selectPowerModeManually("eco");
    EXPECT_EQ(model->powerMode(), PowerMode::eco);
    EXPECT_FALSE(model->manuallyPaused());
    EXPECT_FALSE(model->scheduleIsDriving());
    const QString suspended =
        "Schedule suspended by manual mode change until 2026-06-15 22:00:00 +0000";
    EXPECT_TRUE(logMessages(*model).contains(suspended));
    EXPECT_EQ(harness.preferences().date("rigwell.scheduleOverrideUntil"),
              QDateTime(QDate(2026, 6, 15), QTime(22, 0), QTimeZone::utc()));
    settle(50);
    EXPECT_EQ(model->powerMode(), PowerMode::eco);  // the ticker leaves a suspension alone

    // Picking again while suspended sets the same midnight and logs again.
    model->selectPowerModeManually(PowerMode::balanced);
    EXPECT_EQ(countOf(logMessages(*model), suspended), 2);

    harness.advance(1s);
    ASSERT_TRUE(
        waitUntil([&] { return logMessages(*model).contains("Schedule slot 00:00 \u2014 max"); }));
    EXPECT_EQ(model->scheduleOverrideUntil(), std::nullopt);
    EXPECT_FALSE(harness.preferences().contains("rigwell.scheduleOverrideUntil"));
    EXPECT_EQ(model->powerMode(), PowerMode::max);
    EXPECT_EQ(model->currentScheduleSlot(), 0);
}

TEST(SessionSchedule, EnablingDisablingResumingAndEditing) {
    SessionHarness harness;
    const auto model = harness.make();  // noon, slot 72

    // A manual choice while disabled changes the mode and writes no override.
    model->selectPowerModeManually(PowerMode::max);
    EXPECT_FALSE(harness.preferences().contains("rigwell.scheduleOverrideUntil"));
    EXPECT_EQ(model->powerMode(), PowerMode::max);

    model->setScheduleEnabled(true);
    EXPECT_EQ(harness.preferences().boolean("rigwell.scheduleEnabled"), true);
    EXPECT_EQ(model->powerMode(), PowerMode::balanced);  // the filled default at launch

    // Resume with nothing suspended does nothing, even while enabled.
    QSignalSpy overrides(model.get(), &MiningSessionModel::scheduleOverrideUntilChanged);
    const int lines = model->eventLog()->count();
    model->resumeSchedule();
    EXPECT_EQ(model->eventLog()->count(), lines);
    EXPECT_EQ(overrides.count(), 0);

    // While suspended an edit of the current slot is only saved.
    model->selectPowerModeManually(PowerMode::eco);
    model->setScheduleMode(ScheduledMode::off, 72, 72);
    EXPECT_EQ(model->powerMode(), PowerMode::eco);
    EXPECT_EQ(model->schedule()[72], ScheduledMode::off);
    EXPECT_TRUE(harness.preferences().json("rigwell.scheduleSlots")->contains("\"off\""));
    EXPECT_FALSE(logMessages(*model).contains("Schedule slot 12:00 \u2014 off"));

    // Disabling keeps the stored override; enabling clears it and applies the slot at once.
    model->setScheduleEnabled(false);
    EXPECT_TRUE(model->scheduleOverrideUntil().has_value());
    EXPECT_TRUE(harness.preferences().contains("rigwell.scheduleOverrideUntil"));
    EXPECT_EQ(model->powerMode(), PowerMode::eco);
    model->setScheduleEnabled(true);
    EXPECT_EQ(model->scheduleOverrideUntil(), std::nullopt);
    EXPECT_FALSE(harness.preferences().contains("rigwell.scheduleOverrideUntil"));
    EXPECT_EQ(logMessages(*model).last(), "Schedule slot 12:00 \u2014 off");
    EXPECT_TRUE(model->scheduleIsDriving());

    // A driving schedule applies an edit of the current slot at once.
    model->setScheduleMode(ScheduledMode::eco, 70, 74);
    EXPECT_EQ(logMessages(*model).last(), "Schedule slot 12:00 \u2014 eco");
    EXPECT_EQ(model->powerMode(), PowerMode::eco);
    model->setScheduleMode("turbo", 0, 143);
    EXPECT_EQ(model->schedule()[0], ScheduledMode::balanced);
}

}  // namespace
}  // namespace corvanta::testing
