#include "corvanta/mining/SystemGovernor.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "corvanta/support/CancellableWait.h"

namespace corvanta {
namespace {

constexpr std::string_view thermalLoadReason =
    "Charge thermique élevée — réduction du nombre de workers";
constexpr std::string_view powerModeReason = "Mode de puissance modifié";
constexpr std::string_view advancedCountReason = "Réglage avancé du nombre de workers appliqué";

double seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

SystemGovernor::SystemGovernor(std::shared_ptr<SystemStateSource> source, int maxWorkers,
                               Clock clock)
    : source_(std::move(source)),
      maxWorkers_(std::max(maxWorkers, 1)),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      currentWorkerCount_(baseWorkerCount(PowerMode::balanced, maxWorkers_)) {
    if (!source_) throw std::invalid_argument("SystemGovernor needs a system state source");
}

SystemGovernor::~SystemGovernor() {
    stop();
}

int SystemGovernor::baseWorkerCount(PowerMode mode, int maxWorkers) {
    const int workers = std::max(maxWorkers, 1);
    switch (mode) {
        case PowerMode::eco:
            return maxWorkers < 3 ? 1 : workers / 3;
        case PowerMode::balanced:
            return maxWorkers < 2 ? 1 : (2 * workers) / 3;
        case PowerMode::max:
            return workers;
    }
    return workers;
}

// ----- Lifecycle -----

void SystemGovernor::start(std::chrono::steady_clock::duration pollInterval, OnEvent onEvent) {
    const std::lock_guard lifecycle(lifecycleMutex_);
    if (pollThread_.joinable()) {
        pollThread_.request_stop();
        pollThread_.join();
    }
    {
        const std::lock_guard lock(mutex_);
        activeOnEvent_ = onEvent;
    }
    // The first poll runs before start() returns, so the decision is current from then on.
    pollOnce(onEvent);
    pollThread_ = std::jthread(
        [this, pollInterval](std::stop_token stop) { pollLoop(std::move(stop), pollInterval); });
}

void SystemGovernor::stop() {
    const std::lock_guard lifecycle(lifecycleMutex_);
    if (pollThread_.joinable()) {
        pollThread_.request_stop();
        pollThread_.join();
    }
    const std::lock_guard lock(mutex_);
    activeOnEvent_ = nullptr;
}

void SystemGovernor::pollLoop(std::stop_token stop,
                              std::chrono::steady_clock::duration pollInterval) {
    while (sleepFor(pollInterval, stop)) {
        OnEvent onEvent;
        {
            const std::lock_guard lock(mutex_);
            onEvent = activeOnEvent_;
        }
        pollOnce(onEvent);
    }
}

void SystemGovernor::refresh(const OnEvent& onEvent) {
    pollOnce(onEvent);
}

void SystemGovernor::pollOnce(const OnEvent& onEvent) {
    // The source reads files, so it is asked outside the state lock; polls are serialised among
    // themselves so that an older reading is never applied after a newer one.
    std::unique_lock pollLock(pollMutex_);
    const ThermalState thermal = source_->currentThermalState();
    const PowerSourceState power = source_->currentPowerSourceState();
    const double reportedLoad = source_->currentLoadAverage();
    const double loadAverage = std::isfinite(reportedLoad) ? std::max(reportedLoad, 0.0) : 0.0;

    std::unique_lock lock(mutex_);
    lastThermal_ = thermal;
    lastPower_ = power;
    const auto now = clock_();
    updateSmartYieldLocked(now, loadAverage);
    auto events = applyLocked(thermal, power, now);
    pollLock.unlock();
    deliver(lock, onEvent, std::move(events));
}

// ----- Delivery -----

void SystemGovernor::deliver(std::unique_lock<std::mutex>& lock, const OnEvent& onEvent,
                             Events events) {
    if (!onEvent) return;
    for (auto& event : events) pendingDeliveries_.push_back({onEvent, std::move(event)});
    // Whoever is delivering already will deliver these too, keeping the order of decisions.
    if (delivering_) return;
    delivering_ = true;
    struct DeliveringFlag {
        bool& flag;
        std::unique_lock<std::mutex>& lock;
        ~DeliveringFlag() {
            if (!lock.owns_lock()) lock.lock();
            flag = false;
        }
    } const flagGuard{delivering_, lock};
    while (!pendingDeliveries_.empty()) {
        Delivery next = std::move(pendingDeliveries_.front());
        pendingDeliveries_.pop_front();
        lock.unlock();
        next.onEvent(next.event);
        lock.lock();
    }
}

// ----- Setters and reads -----

void SystemGovernor::reevaluateLocked(std::unique_lock<std::mutex>& lock) {
    const OnEvent onEvent = activeOnEvent_;
    auto events = applyLocked(lastThermal_.value_or(ThermalState::nominal),
                              lastPower_.value_or(PowerSourceState::ac), clock_());
    deliver(lock, onEvent, std::move(events));
}

void SystemGovernor::setPowerMode(PowerMode mode) {
    std::unique_lock lock(mutex_);
    powerMode_ = mode;
    reevaluateLocked(lock);
}

void SystemGovernor::setAllowMiningOnBattery(bool allowed) {
    std::unique_lock lock(mutex_);
    allowMiningOnBattery_ = allowed;
    reevaluateLocked(lock);
}

void SystemGovernor::setAdvancedWorkerCount(std::optional<int> count) {
    std::unique_lock lock(mutex_);
    advancedWorkerCount_ = count ? std::optional(std::clamp(*count, 1, maxWorkers_)) : std::nullopt;
    reevaluateLocked(lock);
}

void SystemGovernor::setManualPause(bool paused) {
    std::unique_lock lock(mutex_);
    if (manualPause_ == paused) return;
    manualPause_ = paused;
    reevaluateLocked(lock);
}

void SystemGovernor::setScheduledPause(bool paused) {
    std::unique_lock lock(mutex_);
    if (scheduledPause_ == paused) return;
    scheduledPause_ = paused;
    reevaluateLocked(lock);
}

void SystemGovernor::setSmartEnabled(bool enabled) {
    std::unique_lock lock(mutex_);
    if (smartEnabled_ == enabled) return;
    smartEnabled_ = enabled;
    if (!enabled) smartYieldingUntil_.reset();
    reevaluateLocked(lock);
}

void SystemGovernor::setPreventIdleSleep(bool prevent) {
    const std::lock_guard lock(mutex_);
    preventIdleSleep_ = prevent;
}

bool SystemGovernor::preventIdleSleep() const {
    const std::lock_guard lock(mutex_);
    return preventIdleSleep_;
}

GovernorDecision SystemGovernor::currentDecision() const {
    const std::lock_guard lock(mutex_);
    return {currentIsPaused_, currentWorkerCount_};
}

std::string SystemGovernor::currentPauseReason() const {
    const std::lock_guard lock(mutex_);
    return currentIsPaused_ ? std::string(pausedReason(pauseCause_)) : std::string();
}

bool SystemGovernor::isPaused() const {
    return currentDecision().isPaused;
}

int SystemGovernor::workerCount() const {
    return currentDecision().workerCount;
}

bool SystemGovernor::isSmartYielding() const {
    const std::lock_guard lock(mutex_);
    return smartYieldingUntil_ && clock_() < *smartYieldingUntil_;
}

// ----- Decisions -----

int SystemGovernor::smartYieldWorkerCountLocked(int base) const {
    // Contention is capped at the worker count before it becomes an integer, so a wild load
    // average cannot overflow.
    const double contention =
        std::min(std::ceil(std::max(lastContention_, 0.0)), static_cast<double>(maxWorkers_));
    const int floor = maxWorkers_ < 3 ? 1 : maxWorkers_ / 3;
    return std::min(std::max(maxWorkers_ - static_cast<int>(contention), floor), base);
}

int SystemGovernor::effectiveWorkerCountLocked(ThermalState thermal,
                                               std::chrono::steady_clock::time_point now) const {
    const int base = advancedWorkerCount_.value_or(baseWorkerCount(powerMode_, maxWorkers_));
    int count = base;
    if (smartEnabled_ && smartYieldingUntil_ && now < *smartYieldingUntil_) {
        count = smartYieldWorkerCountLocked(base);
    }
    // The thermal cap holds during a smart yield too: the yield's count follows the contention
    // and can climb back to the full base while the machine is still hot.
    if (thermal == ThermalState::serious) count = std::min(count, base < 2 ? 1 : base / 2);
    return count;
}

void SystemGovernor::updateSmartYieldLocked(std::chrono::steady_clock::time_point now,
                                            double loadAverage) {
    if (!smartEnabled_) {
        smartYieldingUntil_.reset();
        smoothedOwnWorkers_.reset();
        lastSmartSampleAt_.reset();
        return;
    }
    const double dt = lastSmartSampleAt_ ? seconds(now - *lastSmartSampleAt_) : 0.0;
    lastSmartSampleAt_ = now;

    // Our own workers show up in the load average; a 60-second smoothing of their count is taken
    // off it so that only the rest of the machine's demand counts as contention.
    const auto own = static_cast<double>(currentWorkerCount_);
    if (!smoothedOwnWorkers_) {
        smoothedOwnWorkers_ = own;
    } else if (dt > 0) {
        const double previous = *smoothedOwnWorkers_;
        smoothedOwnWorkers_ = previous + std::min(dt / 60.0, 1.0) * (own - previous);
    }

    lastContention_ = loadAverage - *smoothedOwnWorkers_;
    if (lastContention_ > smartContentionThreshold) {
        smartYieldingUntil_ = now + smartYieldDuration;
    } else if (smartYieldingUntil_ && now >= *smartYieldingUntil_) {
        smartYieldingUntil_.reset();
    }
}

std::string_view SystemGovernor::pausedReason(PauseCause cause) {
    switch (cause) {
        case PauseCause::thermal:
            return thermalCriticalPauseMessage;
        case PauseCause::battery:
            return "Mining en pause — sur batterie";
        case PauseCause::manual:
            return "Mining en pause — demandé";
        case PauseCause::schedule:
            return schedulePauseMessage;
    }
    return {};
}

std::string_view SystemGovernor::resumedReason(PauseCause cause) {
    switch (cause) {
        case PauseCause::thermal:
            return "Mining repris — température normale";
        case PauseCause::battery:
            return "Mining repris — secteur rebranché";
        case PauseCause::manual:
            return "Mining repris — demandé";
        case PauseCause::schedule:
            return "Mining repris — planning horaire";
    }
    return {};
}

SystemGovernor::Events SystemGovernor::applyLocked(ThermalState thermal, PowerSourceState power,
                                                   std::chrono::steady_clock::time_point now) {
    std::optional<PauseCause> cause;
    if (thermal == ThermalState::critical) {
        cause = PauseCause::thermal;
    } else if (power == PowerSourceState::battery && !allowMiningOnBattery_) {
        cause = PauseCause::battery;
    } else if (manualPause_) {
        cause = PauseCause::manual;
    } else if (scheduledPause_) {
        cause = PauseCause::schedule;
    }

    if (cause) {
        if (currentIsPaused_ && pauseCause_ == *cause) return {};
        currentIsPaused_ = true;
        pauseCause_ = *cause;
        // The worker count is left alone while paused.
        return {GovernorEvent::paused(std::string(pausedReason(*cause)))};
    }

    if (currentIsPaused_) {
        currentIsPaused_ = false;
        // Resuming reports only the resumption; the engine takes the count from the decision.
        currentWorkerCount_ = effectiveWorkerCountLocked(thermal, now);
        return {GovernorEvent::resumed(std::string(resumedReason(pauseCause_)))};
    }

    const int count = effectiveWorkerCountLocked(thermal, now);
    if (count == currentWorkerCount_) return {};
    currentWorkerCount_ = count;
    const std::string_view reason = thermal == ThermalState::serious ? thermalLoadReason
                                    : advancedWorkerCount_           ? advancedCountReason
                                                                     : powerModeReason;
    return {GovernorEvent::workerCountChanged(count, std::string(reason))};
}

}  // namespace corvanta
