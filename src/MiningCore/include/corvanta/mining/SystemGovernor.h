#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "corvanta/mining/GovernorEvent.h"
#include "corvanta/mining/PowerMode.h"
#include "corvanta/mining/SystemState.h"

namespace corvanta {

// Decides, at every poll and after every settings change, whether hashing must pause and how
// many workers the hash engine may use. It never touches the engine: it reports each change as a
// GovernorEvent and exposes the current GovernorDecision.
//
// Pause causes, first match wins: critical thermal state, battery power (unless mining on battery
// is allowed), the manual pause, the schedule's pause. Otherwise the worker count follows the
// power mode (or the advanced count), halved under serious thermal state, and lowered by the
// smart policy while the rest of the machine is busy; the thermal limit holds during a smart
// yield too.
//
// Thread-safe. Events are delivered in the order they were decided, by whichever thread is
// delivering at the time (so a setter may return before its events reach the callback), and
// never while the governor's state lock is held: a callback may read currentDecision(). A
// callback may call setters, whose events follow after its own return, but must not call start()
// or stop(), nor throw. Setters before start() change the state but their events are dropped:
// read currentDecision() after start().
class SystemGovernor {
  public:
    using OnEvent = std::function<void(const GovernorEvent&)>;
    // Monotonic time; the smart yield's deadline is measured on it so that a wall-clock change
    // can neither stretch nor cut it short.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::seconds smartYieldDuration{180};
    static constexpr double smartContentionThreshold = 4.0;

    // `maxWorkers` (the engine's thread count) below 1 becomes 1.
    SystemGovernor(std::shared_ptr<SystemStateSource> source, int maxWorkers, Clock clock = {});
    ~SystemGovernor();
    SystemGovernor(const SystemGovernor&) = delete;
    SystemGovernor& operator=(const SystemGovernor&) = delete;

    // Polls once before returning, then every `pollInterval` on a thread of its own until
    // stop(), reporting to `onEvent`; a running poll is stopped first.
    void start(std::chrono::steady_clock::duration pollInterval, OnEvent onEvent);
    // Ends polling (waiting for a poll in progress) and drops the callback.
    void stop();
    // One poll on demand, reporting to `onEvent`.
    void refresh(const OnEvent& onEvent);

    void setPowerMode(PowerMode mode);
    void setAllowMiningOnBattery(bool allowed);
    // nullopt returns to the power mode's count; a number is clamped to 1...maxWorkers.
    void setAdvancedWorkerCount(std::optional<int> count);
    void setManualPause(bool paused);
    void setScheduledPause(bool paused);
    // Turning smart off also ends a yield in progress.
    void setSmartEnabled(bool enabled);

    // Kept for the session; no decision depends on it.
    void setPreventIdleSleep(bool prevent);
    bool preventIdleSleep() const;

    GovernorDecision currentDecision() const;
    // Why the current decision pauses (the text its pause event carried, or would have carried
    // had it been delivered); empty while not paused. A decision made before start() has no
    // event, so this is the only place its reason can be read.
    std::string currentPauseReason() const;
    bool isPaused() const;
    int workerCount() const;
    bool isSmartYielding() const;

    // eco: a third of the workers, balanced: two thirds, max: all (rounded down, at least 1).
    static int baseWorkerCount(PowerMode mode, int maxWorkers);

  private:
    enum class PauseCause { thermal, battery, manual, schedule };
    struct Delivery {
        OnEvent onEvent;
        GovernorEvent event;
    };
    using Events = std::vector<GovernorEvent>;

    static std::string_view pausedReason(PauseCause cause);
    static std::string_view resumedReason(PauseCause cause);

    // All private members below that end in Locked expect mutex_ to be held.
    int effectiveWorkerCountLocked(ThermalState thermal,
                                   std::chrono::steady_clock::time_point now) const;
    int smartYieldWorkerCountLocked(int base) const;
    void updateSmartYieldLocked(std::chrono::steady_clock::time_point now, double loadAverage);
    Events applyLocked(ThermalState thermal, PowerSourceState power,
                       std::chrono::steady_clock::time_point now);
    // Re-evaluates with the last readings after a setter, reporting to the active callback.
    void reevaluateLocked(std::unique_lock<std::mutex>& lock);
    void pollOnce(const OnEvent& onEvent);
    // Queues the events and delivers the queue unless another thread is already delivering it.
    void deliver(std::unique_lock<std::mutex>& lock, const OnEvent& onEvent, Events events);
    void pollLoop(std::stop_token stop, std::chrono::steady_clock::duration pollInterval);

    const std::shared_ptr<SystemStateSource> source_;
    const int maxWorkers_;
    const Clock clock_;

    std::mutex pollMutex_;  // taken before mutex_, never while delivering
    mutable std::mutex mutex_;
    PowerMode powerMode_ = PowerMode::balanced;
    std::optional<int> advancedWorkerCount_;
    bool allowMiningOnBattery_ = false;
    bool scheduledPause_ = false;
    bool manualPause_ = false;
    bool smartEnabled_ = false;
    std::optional<std::chrono::steady_clock::time_point> smartYieldingUntil_;
    std::optional<double> smoothedOwnWorkers_;
    std::optional<std::chrono::steady_clock::time_point> lastSmartSampleAt_;
    double lastContention_ = 0;
    std::optional<ThermalState> lastThermal_;
    std::optional<PowerSourceState> lastPower_;
    bool currentIsPaused_ = false;
    PauseCause pauseCause_ = PauseCause::manual;
    int currentWorkerCount_;
    bool preventIdleSleep_ = true;
    OnEvent activeOnEvent_;
    std::deque<Delivery> pendingDeliveries_;
    bool delivering_ = false;

    std::mutex lifecycleMutex_;
    std::jthread pollThread_;
};

}  // namespace corvanta
