#include "corvanta/mining/SystemGovernor.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace corvanta {
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

}  // namespace

void PrintTo(const GovernorEvent& event, std::ostream* out) {
    std::visit(
        [out](const auto& kind) {
            using Kind = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<Kind, GovernorEvent::WorkerCountChanged>) {
                *out << "workerCountChanged(" << kind.count << ", \"" << kind.reason << "\")";
            } else if constexpr (std::is_same_v<Kind, GovernorEvent::Paused>) {
                *out << "paused(\"" << kind.reason << "\")";
            } else {
                *out << "resumed(\"" << kind.reason << "\")";
            }
        },
        event.kind);
}

void PrintTo(const GovernorDecision& decision, std::ostream* out) {
    *out << "{isPaused " << decision.isPaused << ", workerCount " << decision.workerCount << "}";
}

namespace {

class FakeSource final : public SystemStateSource {
  public:
    void set(ThermalState thermal, PowerSourceState power, double load) {
        const std::lock_guard lock(mutex_);
        thermal_ = thermal;
        power_ = power;
        load_ = load;
    }
    void setThermal(ThermalState thermal) {
        const std::lock_guard lock(mutex_);
        thermal_ = thermal;
    }
    void setPower(PowerSourceState power) {
        const std::lock_guard lock(mutex_);
        power_ = power;
    }
    void setLoad(double load) {
        const std::lock_guard lock(mutex_);
        load_ = load;
    }
    // Every thermal reading flips between critical and nominal.
    void alternateThermal() {
        const std::lock_guard lock(mutex_);
        alternate_ = true;
    }
    void waitForPolls(int count) {
        std::unique_lock lock(mutex_);
        polled_.wait_for(lock, seconds(30), [&] { return polls_ >= count; });
    }

    ThermalState currentThermalState() override {
        const std::lock_guard lock(mutex_);
        if (alternate_) {
            thermal_ =
                thermal_ == ThermalState::critical ? ThermalState::nominal : ThermalState::critical;
        }
        return thermal_;
    }
    PowerSourceState currentPowerSourceState() override {
        const std::lock_guard lock(mutex_);
        return power_;
    }
    double currentLoadAverage() override {
        const std::lock_guard lock(mutex_);
        ++polls_;
        polled_.notify_all();
        return load_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable polled_;
    ThermalState thermal_ = ThermalState::nominal;
    PowerSourceState power_ = PowerSourceState::ac;
    double load_ = 0;
    bool alternate_ = false;
    int polls_ = 0;
};

class Recorder {
  public:
    SystemGovernor::OnEvent callback() {
        return [this](const GovernorEvent& event) {
            const std::lock_guard lock(mutex_);
            events_.push_back(event);
        };
    }
    // The events since the previous call.
    Events take() {
        const std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }

  private:
    std::mutex mutex_;
    Events events_;
};

// A governor with a fake machine and a fake monotonic clock, started so that setters report.
struct Rig {
    explicit Rig(int maxWorkers)
        : source(std::make_shared<FakeSource>()),
          governor(source, maxWorkers, [this] { return now; }) {}

    void start() { governor.start(hours(1), recorder.callback()); }
    Events poll() {
        governor.refresh(recorder.callback());
        return recorder.take();
    }
    Events pollAfter(seconds elapsed, double load) {
        now += elapsed;
        source->setLoad(load);
        return poll();
    }

    steady_clock::time_point now{hours(100)};
    std::shared_ptr<FakeSource> source;
    Recorder recorder;
    SystemGovernor governor;
};

TEST(SystemGovernor, BaseWorkerCountsPerMode) {
    struct Row {
        int maxWorkers, eco, balanced, max;
    };
    for (const Row row : {Row{8, 2, 5, 8}, Row{10, 3, 6, 10}, Row{2, 1, 1, 2}, Row{3, 1, 2, 3},
                          Row{1, 1, 1, 1}, Row{0, 1, 1, 1}, Row{-4, 1, 1, 1}}) {
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
    EXPECT_EQ(rig.recorder.take(), Events{});

    rig.governor.setPowerMode(PowerMode::eco);
    rig.governor.setPowerMode(PowerMode::eco);
    rig.governor.setPowerMode(PowerMode::max);
    EXPECT_EQ(rig.recorder.take(), (Events{Event::workerCountChanged(2, modeReason),
                                           Event::workerCountChanged(8, modeReason)}));

    rig.governor.setAdvancedWorkerCount(0);
    rig.governor.setAdvancedWorkerCount(100);
    rig.governor.setAdvancedWorkerCount(3);
    rig.governor.setPowerMode(PowerMode::eco);  // the advanced count still rules
    rig.governor.setAdvancedWorkerCount(std::nullopt);
    EXPECT_EQ(rig.recorder.take(), (Events{Event::workerCountChanged(1, advancedReason),
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
        {nominal, ac, false, false, false, std::nullopt},
        {serious, ac, false, false, false, std::nullopt},
        {critical, battery, false, true, true, thermalPause},
        {critical, ac, true, false, false, thermalPause},
        {fair, battery, false, true, true, batteryPause},
        {nominal, battery, true, false, false, std::nullopt},
        {nominal, battery, true, true, true, manualPause},
        {nominal, ac, false, true, true, manualPause},
        {nominal, ac, false, false, true, schedulePause},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
        Rig rig(4);
        rig.governor.setPowerMode(PowerMode::max);
        rig.start();
        rig.source->set(row.thermal, row.power, 0);
        rig.governor.refresh(rig.recorder.callback());
        rig.governor.setAllowMiningOnBattery(row.allowBattery);
        rig.governor.setManualPause(row.manual);
        rig.governor.setScheduledPause(row.scheduled);

        std::optional<std::string> lastPause;
        for (const auto& event : rig.recorder.take()) {
            if (std::holds_alternative<Event::Paused>(event.kind)) lastPause = event.reason();
            if (std::holds_alternative<Event::Resumed>(event.kind)) lastPause.reset();
        }
        EXPECT_EQ(lastPause, row.pauseReason);
        EXPECT_EQ(rig.governor.isPaused(), row.pauseReason.has_value());
    }
}

TEST(SystemGovernor, ChangingPauseCauseReportsTheNewCauseAndResumesWithTheLast) {
    Rig rig(8);
    rig.start();
    rig.source->set(ThermalState::critical, PowerSourceState::battery, 0);
    EXPECT_EQ(rig.poll(), Events{Event::paused(thermalPause)});
    rig.source->setThermal(ThermalState::nominal);
    EXPECT_EQ(rig.poll(), Events{Event::paused(batteryPause)});
    EXPECT_EQ(rig.poll(), Events{});
    rig.source->setPower(PowerSourceState::ac);
    EXPECT_EQ(rig.poll(), Events{Event::resumed("Mining repris — secteur rebranché")});

    rig.governor.setScheduledPause(true);
    rig.governor.setManualPause(true);
    rig.governor.setScheduledPause(false);
    rig.governor.setManualPause(false);
    EXPECT_EQ(rig.recorder.take(), (Events{Event::paused(schedulePause), Event::paused(manualPause),
                                           Event::resumed("Mining repris — demandé")}));

    rig.source->setThermal(ThermalState::critical);
    rig.poll();
    rig.source->setThermal(ThermalState::fair);
    EXPECT_EQ(rig.poll(), Events{Event::resumed("Mining repris — température normale")});
}

TEST(SystemGovernor, ResumingReportsOnlyTheResumption) {
    Rig rig(8);
    rig.start();
    rig.governor.setManualPause(true);
    rig.governor.setManualPause(true);
    rig.governor.setPowerMode(PowerMode::max);
    EXPECT_EQ(rig.governor.currentDecision(), (GovernorDecision{true, 5}))
        << "the count is left alone while paused";
    rig.governor.setManualPause(false);
    EXPECT_EQ(rig.recorder.take(),
              (Events{Event::paused(manualPause), Event::resumed("Mining repris — demandé")}));
    EXPECT_EQ(rig.governor.currentDecision(), (GovernorDecision{false, 8}));
}

TEST(SystemGovernor, SeriousThermalHalvesTheWorkers) {
    Rig rig(8);
    rig.start();
    rig.source->setThermal(ThermalState::serious);
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(2, thermalReason)});
    rig.governor.setPowerMode(PowerMode::max);
    EXPECT_EQ(rig.recorder.take(), Events{Event::workerCountChanged(4, thermalReason)});
    rig.source->setThermal(ThermalState::fair);
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(8, modeReason)});

    Rig single(1);
    single.start();
    single.source->setThermal(ThermalState::serious);
    for (const PowerMode mode : allPowerModes) single.governor.setPowerMode(mode);
    EXPECT_EQ(single.poll(), Events{});
    EXPECT_EQ(single.governor.workerCount(), 1);
}

TEST(SystemGovernor, SmartYieldStartsExtendsAndEnds) {
    Rig rig(8);
    rig.governor.setPowerMode(PowerMode::max);
    rig.governor.setSmartEnabled(true);
    rig.start();
    EXPECT_FALSE(rig.governor.isSmartYielding());

    // Own workers smoothed to 8 and a load of 13: contention 5 yields 3 workers until +180 s.
    const auto yieldStart = rig.now;
    EXPECT_EQ(rig.pollAfter(seconds(0), 13), Events{Event::workerCountChanged(3, modeReason)});
    EXPECT_TRUE(rig.governor.isSmartYielding());

    // 100 s on, the smoothed own count has fallen to 3; a load of 8 is still contention 5 and
    // pushes the end to +280 s.
    EXPECT_EQ(rig.pollAfter(seconds(100), 8), Events{});
    // Contention 2 no longer extends the yield, but inside it the count follows: 8 - 2.
    EXPECT_EQ(rig.pollAfter(seconds(100), 5), Events{Event::workerCountChanged(6, modeReason)});
    // Our own 6 workers count towards the load again: 8 is contention 2.
    EXPECT_EQ(rig.pollAfter(seconds(79), 8), Events{});
    EXPECT_TRUE(rig.governor.isSmartYielding());
    rig.now = yieldStart + seconds(280);
    EXPECT_FALSE(rig.governor.isSmartYielding());
    EXPECT_EQ(rig.poll(), Events{Event::workerCountChanged(8, modeReason)});
}

TEST(SystemGovernor, SmartYieldKeepsAFloorAndNeverExceedsTheBase) {
    Rig rig(9);
    rig.governor.setSmartEnabled(true);
    rig.start();  // balanced: 6 workers
    EXPECT_EQ(rig.pollAfter(seconds(1), 1e9), Events{Event::workerCountChanged(3, modeReason)})
        << "a third of the workers at least";
    EXPECT_EQ(rig.pollAfter(seconds(1), 5), Events{Event::workerCountChanged(6, modeReason)})
        << "never above the mode's own count";
}

TEST(SystemGovernor, TurningSmartOffEndsTheYieldAtOnce) {
    Rig rig(8);
    rig.governor.setPowerMode(PowerMode::max);
    rig.governor.setSmartEnabled(true);
    rig.start();
    rig.pollAfter(seconds(2), 13);
    ASSERT_EQ(rig.governor.workerCount(), 3);
    rig.governor.setSmartEnabled(false);
    EXPECT_EQ(rig.recorder.take(), Events{Event::workerCountChanged(8, modeReason)});
    EXPECT_FALSE(rig.governor.isSmartYielding());
    // Back on, the smoothing starts afresh from the current count.
    rig.governor.setSmartEnabled(true);
    EXPECT_EQ(rig.pollAfter(seconds(2), 12), Events{});
    EXPECT_EQ(rig.pollAfter(seconds(2), 13), Events{Event::workerCountChanged(3, modeReason)});
}

TEST(SystemGovernor, ThermalCapHoldsDuringASmartYield) {
    Rig rig(8);
    rig.governor.setPowerMode(PowerMode::max);
    rig.governor.setSmartEnabled(true);
    rig.start();
    rig.pollAfter(seconds(2), 13);
    ASSERT_TRUE(rig.governor.isSmartYielding());
    ASSERT_EQ(rig.governor.workerCount(), 3);

    // The machine gets hot while the rest of it goes quiet: the yield alone would give all 8.
    rig.source->setThermal(ThermalState::serious);
    EXPECT_EQ(rig.pollAfter(seconds(10), 0), Events{Event::workerCountChanged(4, thermalReason)});
    EXPECT_TRUE(rig.governor.isSmartYielding());
    for (int step = 0; step < 30; ++step) {
        rig.pollAfter(seconds(10), step % 2 ? 0.0 : 20.0);
        ASSERT_LE(rig.governor.workerCount(), 4) << "step " << step;
    }
}

TEST(SystemGovernor, CallbacksRunOutsideTheLockAndInDecisionOrder) {
    Rig rig(8);
    std::vector<GovernorDecision> seen;
    rig.governor.start(hours(1), [&](const GovernorEvent& event) {
        seen.push_back(rig.governor.currentDecision());
        // A setter from inside the callback is reported after this callback returns.
        if (std::holds_alternative<Event::Paused>(event.kind)) rig.governor.setManualPause(false);
        rig.recorder.callback()(event);
    });
    rig.governor.setManualPause(true);
    EXPECT_EQ(rig.recorder.take(),
              (Events{Event::paused(manualPause), Event::resumed("Mining repris — demandé")}));
    EXPECT_EQ(seen, (std::vector<GovernorDecision>{{true, 5}, {false, 5}}));
}

TEST(SystemGovernor, SettersBeforeStartOrAfterStopChangeStateSilently) {
    Rig rig(8);
    rig.governor.setManualPause(true);
    rig.start();
    EXPECT_TRUE(rig.governor.isPaused());
    EXPECT_EQ(rig.recorder.take(), Events{});
    rig.governor.stop();
    rig.governor.setManualPause(false);
    EXPECT_FALSE(rig.governor.isPaused());
    EXPECT_EQ(rig.recorder.take(), Events{});
}

TEST(SystemGovernor, PollsUntilStoppedWithEventsInOrder) {
    Rig rig(8);
    rig.source->alternateThermal();
    std::mutex mutex;
    Events events;
    rig.governor.start(microseconds(50), [&](const GovernorEvent& event) {
        const std::lock_guard lock(mutex);
        events.push_back(event);
    });
    // Setters race with polls that flip between a thermal pause and its resumption.
    for (int round = 0; round < 500; ++round) rig.governor.setManualPause(round % 2 == 0);
    rig.source->waitForPolls(20);
    rig.governor.stop();

    const std::lock_guard lock(mutex);
    ASSERT_FALSE(events.empty());
    // Delivered in the order decided: a resumption only ever follows a pause and names it.
    std::optional<std::string> pausedFor;
    for (const auto& event : events) {
        if (std::holds_alternative<Event::Paused>(event.kind)) {
            EXPECT_NE(pausedFor, event.reason());
            pausedFor = event.reason();
        } else if (std::holds_alternative<Event::Resumed>(event.kind)) {
            ASSERT_TRUE(pausedFor);
            EXPECT_EQ(event.reason(), *pausedFor == thermalPause
                                          ? "Mining repris — température normale"
                                          : "Mining repris — demandé");
            pausedFor.reset();
        }
    }
}

}  // namespace
}  // namespace corvanta
