#include "corvanta/mining/SystemGovernor.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace corvanta {

void PrintTo(const GovernorEvent& event, std::ostream* out) {
    *out << event.kind.index() << "(" << event.reason() << ")";
    if (const auto* changed = std::get_if<GovernorEvent::WorkerCountChanged>(&event.kind)) {
        *out << " count " << changed->count;
    }
}

namespace {

using namespace std::chrono;
using Event = GovernorEvent;
using Events = std::vector<GovernorEvent>;

const std::string modeReason = "Mode de puissance modifié";
const std::string advancedReason = "Réglage avancé du nombre de workers appliqué";
const std::string thermalReason = "Charge thermique élevée — réduction du nombre de workers";
const std::string thermalPause(thermalCriticalPauseMessage);
const std::string batteryPause = "Mining en pause — sur batterie";
const std::string manualPause = "Mining en pause — demandé";
const std::string schedulePause = "Mining en pause — planning horaire";
const std::string manualResume = "Mining repris — demandé";
const std::string thermalResume = "Mining repris — température normale";

class FakeSource final : public SystemStateSource {
  public:
    ThermalState thermal = ThermalState::nominal;
    PowerSourceState power = PowerSourceState::ac;
    double load = 0;
    bool alternateThermal = false;  // every reading flips between critical and nominal

    ThermalState currentThermalState() override {
        const std::lock_guard lock(mutex_);
        if (alternateThermal) {
            thermal =
                thermal == ThermalState::critical ? ThermalState::nominal : ThermalState::critical;
        }
        return thermal;
    }
    PowerSourceState currentPowerSourceState() override { return power; }
    double currentLoadAverage() override {
        const std::lock_guard lock(mutex_);
        ++polls_;
        return load;
    }
    int polls() {
        const std::lock_guard lock(mutex_);
        return polls_;
    }

  private:
    std::mutex mutex_;
    int polls_ = 0;
};

// A governor on a fake machine and a fake monotonic clock. start() polls once and makes setters
// report to `events`.
struct Rig {
    explicit Rig(int maxWorkers) : governor(source, maxWorkers, [this] { return now; }) {}

    SystemGovernor::OnEvent record() {
        return [this](const GovernorEvent& event) { events.push_back(event); };
    }
    void start() { governor.start(hours(1), record()); }
    Events take() { return std::exchange(events, {}); }
    Events poll() {
        governor.refresh(record());
        return take();
    }
    Events pollAfter(seconds elapsed, double load) {
        now += elapsed;
        source->load = load;
        return poll();
    }

    steady_clock::time_point now{hours(100)};
    std::shared_ptr<FakeSource> source = std::make_shared<FakeSource>();
    Events events;
    SystemGovernor governor;
};

TEST(SystemGovernor, BaseWorkerCountsPerMode) {
    struct Row {
        int maxWorkers, eco, balanced, max;
    };
    for (const Row row : {Row{8, 2, 5, 8}, Row{10, 3, 6, 10}, Row{2, 1, 1, 2}, Row{3, 1, 2, 3},
                          Row{1, 1, 1, 1}, Row{0, 1, 1, 1}}) {
        SCOPED_TRACE(row.maxWorkers);
        EXPECT_EQ(SystemGovernor::baseWorkerCount(PowerMode::eco, row.maxWorkers), row.eco);
        EXPECT_EQ(SystemGovernor::baseWorkerCount(PowerMode::balanced, row.maxWorkers),
                  row.balanced);
        EXPECT_EQ(SystemGovernor::baseWorkerCount(PowerMode::max, row.maxWorkers), row.max);
    }
}

TEST(SystemGovernor, PowerModeAndAdvancedCountSetTheWorkers) {
    Rig rig(8);
    rig.start();
    EXPECT_EQ(rig.governor.currentDecision(), (GovernorDecision{false, 5}));
    rig.governor.setPowerMode(PowerMode::eco);
    rig.governor.setPowerMode(PowerMode::max);
    rig.governor.setAdvancedWorkerCount(0);
    rig.governor.setAdvancedWorkerCount(100);
    rig.governor.setAdvancedWorkerCount(3);
    rig.governor.setPowerMode(PowerMode::eco);  // the advanced count still rules
    rig.governor.setAdvancedWorkerCount(std::nullopt);
    EXPECT_EQ(rig.take(), (Events{Event::workerCountChanged(2, modeReason),
                                  Event::workerCountChanged(8, modeReason),
                                  Event::workerCountChanged(1, advancedReason),
                                  Event::workerCountChanged(8, advancedReason),
                                  Event::workerCountChanged(3, advancedReason),
                                  Event::workerCountChanged(2, modeReason)}));
}

TEST(SystemGovernor, PauseCausePrecedence) {
    using enum ThermalState;
    using enum PowerSourceState;
    struct Row {
        ThermalState thermal;
        PowerSourceState power;
        bool allowBattery, manual, scheduled;
        std::optional<std::string> pauseReason;
    };
    const Row rows[] = {
        {serious, ac, false, false, false, std::nullopt},
        {critical, battery, false, true, true, thermalPause},
        {critical, ac, true, false, false, thermalPause},
        {fair, battery, false, true, true, batteryPause},
        {nominal, battery, true, false, false, std::nullopt},
        {nominal, battery, true, true, true, manualPause},
        {nominal, ac, false, false, true, schedulePause},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        Rig rig(4);
        rig.start();
        rig.source->thermal = row.thermal;
        rig.source->power = row.power;
        rig.governor.refresh(rig.record());
        rig.governor.setAllowMiningOnBattery(row.allowBattery);
        rig.governor.setManualPause(row.manual);
        rig.governor.setScheduledPause(row.scheduled);

        std::optional<std::string> pausedFor;
        for (const auto& event : rig.take()) {
            if (std::holds_alternative<Event::Paused>(event.kind)) pausedFor = event.reason();
            if (std::holds_alternative<Event::Resumed>(event.kind)) pausedFor.reset();
        }
        EXPECT_EQ(pausedFor, row.pauseReason);
        EXPECT_EQ(rig.governor.isPaused(), row.pauseReason.has_value());
    }
}

TEST(SystemGovernor, ChangingPauseCauseReportsTheNewCauseAndResumesOnlyOnce) {
    Rig rig(8);
    rig.start();
    rig.source->thermal = ThermalState::critical;
    rig.source->power = PowerSourceState::battery;
    EXPECT_EQ(rig.poll(), Events{Event::paused(thermalPause)});
    rig.source->thermal = ThermalState::nominal;
    EXPECT_EQ(rig.poll(), Events{Event::paused(batteryPause)});
    EXPECT_EQ(rig.poll(), Events{});
    rig.source->power = PowerSourceState::ac;
    EXPECT_EQ(rig.poll(), Events{Event::resumed("Mining repris — secteur rebranché")});

    // While paused the count is left alone; resuming reports only the resumption.
    rig.governor.setManualPause(true);
    rig.governor.setManualPause(true);
    rig.governor.setPowerMode(PowerMode::max);
    EXPECT_EQ(rig.governor.currentDecision(), (GovernorDecision{true, 5}));
    rig.governor.setScheduledPause(true);
    rig.governor.setManualPause(false);
    rig.governor.setScheduledPause(false);
    EXPECT_EQ(rig.take(), (Events{Event::paused(manualPause), Event::paused(schedulePause),
                                  Event::resumed("Mining repris — planning horaire")}));
    EXPECT_EQ(rig.governor.currentDecision(), (GovernorDecision{false, 8}));
}

TEST(SystemGovernor, SeriousThermalHalvesTheWorkers) {
    Rig rig(8);
    rig.start();
    rig.source->thermal = ThermalState::serious;
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(2, thermalReason)});
    rig.governor.setPowerMode(PowerMode::max);
    EXPECT_EQ(rig.take(), Events{Event::workerCountChanged(4, thermalReason)});
    rig.source->thermal = ThermalState::fair;
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(8, modeReason)});

    Rig single(1);
    single.start();
    single.source->thermal = ThermalState::serious;
    for (const PowerMode mode : allPowerModes) single.governor.setPowerMode(mode);
    EXPECT_EQ(single.poll(), Events{});
    EXPECT_EQ(single.governor.workerCount(), 1);
}

TEST(SystemGovernor, SmartYieldStartsExtendsAndEnds) {
    Rig rig(8);
    rig.governor.setPowerMode(PowerMode::max);
    rig.governor.setSmartEnabled(true);
    rig.start();

    // Own workers smoothed to 8 and a load of 13: contention 5 yields 3 workers until +180 s.
    const auto yieldStart = rig.now;
    EXPECT_EQ(rig.pollAfter(seconds(0), 13), Events{Event::workerCountChanged(3, modeReason)});
    EXPECT_TRUE(rig.governor.isSmartYielding());
    // The smoothed own count has fallen to 3: a load of 8 is contention 5, the end moves to +280.
    EXPECT_EQ(rig.pollAfter(seconds(100), 8), Events{});
    // Contention 2 no longer extends the yield, but inside it the count follows: 8 - 2.
    EXPECT_EQ(rig.pollAfter(seconds(100), 5), Events{Event::workerCountChanged(6, modeReason)});
    EXPECT_EQ(rig.pollAfter(seconds(79), 8), Events{});
    rig.now = yieldStart + seconds(280);
    EXPECT_FALSE(rig.governor.isSmartYielding());
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(8, modeReason)});

    // A wild load keeps a third of the workers; turning smart off ends the yield at once.
    EXPECT_EQ(rig.pollAfter(seconds(1), 1e12), Events{Event::workerCountChanged(2, modeReason)});
    rig.governor.setSmartEnabled(false);
    EXPECT_EQ(rig.take(), Events{Event::workerCountChanged(8, modeReason)});
    EXPECT_FALSE(rig.governor.isSmartYielding());
}

TEST(SystemGovernor, SmartYieldNeverExceedsTheModeOrTheThermalCap) {
    Rig rig(9);
    rig.governor.setSmartEnabled(true);
    rig.start();  // balanced: 6 workers
    EXPECT_EQ(rig.pollAfter(seconds(1), 11), Events{Event::workerCountChanged(4, modeReason)});
    EXPECT_EQ(rig.pollAfter(seconds(1), 4), Events{Event::workerCountChanged(6, modeReason)})
        << "a quiet machine inside the yield still gets only the mode's count";

    // The machine gets hot while the rest of it goes quiet: the yield alone would give all 9.
    rig.governor.setPowerMode(PowerMode::max);
    rig.take();
    rig.source->thermal = ThermalState::serious;
    for (int step = 0; step < 30; ++step) {
        rig.pollAfter(seconds(10), step % 3 ? 0.0 : 30.0);
        ASSERT_LE(rig.governor.workerCount(), 4) << "step " << step;
    }
    EXPECT_EQ(rig.governor.workerCount(), 4);
}

TEST(SystemGovernor, CallbacksRunOutsideTheLockAndInDecisionOrder) {
    Rig rig(8);
    std::vector<GovernorDecision> seen;
    rig.governor.start(hours(1), [&](const GovernorEvent& event) {
        seen.push_back(rig.governor.currentDecision());
        // A setter from inside the callback is reported after this callback returns.
        if (std::holds_alternative<Event::Paused>(event.kind)) rig.governor.setManualPause(false);
        rig.events.push_back(event);
    });
    rig.governor.setManualPause(true);
    EXPECT_EQ(rig.take(), (Events{Event::paused(manualPause), Event::resumed(manualResume)}));
    EXPECT_EQ(seen, (std::vector<GovernorDecision>{{true, 5}, {false, 5}}));

    // After stop(), setters still decide but report nothing.
    rig.governor.stop();
    rig.governor.setManualPause(true);
    EXPECT_TRUE(rig.governor.isPaused());
    EXPECT_EQ(rig.take(), Events{});
}

TEST(SystemGovernor, PollsUntilStoppedWithEventsInOrder) {
    Rig rig(8);
    rig.source->alternateThermal = true;
    std::mutex mutex;
    Events events;
    rig.governor.start(microseconds(50), [&](const GovernorEvent& event) {
        const std::lock_guard lock(mutex);
        events.push_back(event);
    });
    // Setters race with polls that flip between a thermal pause and its resumption; every 20
    // setters the test lets at least one poll through.
    for (int round = 0; round < 2000; ++round) {
        rig.governor.setManualPause(round % 2 == 0);
        if (round % 20 == 0) {
            const int polls = rig.source->polls();
            while (rig.source->polls() == polls) std::this_thread::yield();
        }
    }
    rig.governor.stop();

    // Delivered in the order decided: a resumption only ever follows a pause and names its cause.
    std::optional<std::string> pausedFor;
    for (const auto& event : events) {
        if (std::holds_alternative<Event::Paused>(event.kind)) {
            EXPECT_NE(pausedFor, event.reason());
            pausedFor = event.reason();
        } else if (std::holds_alternative<Event::Resumed>(event.kind)) {
            ASSERT_TRUE(pausedFor);
            EXPECT_EQ(event.reason(), *pausedFor == thermalPause ? thermalResume : manualResume);
            pausedFor.reset();
        }
    }
    EXPECT_GE(events.size(), 100u);
}

}  // namespace
}  // namespace corvanta

namespace corvanta {
namespace {

// Set up before start(), the first decision pauses without an event; its reason is still read.
TEST(SystemGovernorFirstDecision, APauseSetBeforeStartIsNamedWithoutAnEvent) {
    struct Row {
        ThermalState thermal;
        bool manual, scheduled;
        std::string reason;
    };
    const Row rows[] = {
        {ThermalState::nominal, false, true, std::string(schedulePauseMessage)},
        {ThermalState::nominal, true, true, "Mining en pause — demandé"},
        {ThermalState::critical, false, true, std::string(thermalCriticalPauseMessage)},
        {ThermalState::nominal, false, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        Rig rig(4);
        rig.source->thermal = row.thermal;
        rig.governor.setManualPause(row.manual);
        rig.governor.setScheduledPause(row.scheduled);
        rig.start();
        // The machine's own state is read by start()'s first poll, which reports it.
        if (row.thermal == ThermalState::nominal) {
            EXPECT_TRUE(rig.take().empty());
        }
        EXPECT_EQ(rig.governor.isPaused(), !row.reason.empty());
        EXPECT_EQ(rig.governor.currentPauseReason(), row.reason);
    }
    // A resumption clears it.
    Rig rig(4);
    rig.governor.setScheduledPause(true);
    rig.start();
    rig.governor.setScheduledPause(false);
    EXPECT_EQ(rig.governor.currentPauseReason(), "");
}

}  // namespace
}  // namespace corvanta
