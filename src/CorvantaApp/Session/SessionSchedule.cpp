// The manual pause, the manual power-mode choice and the day schedule.
#include <QLoggingCategory>

#include "Session/SessionModelInternals.h"
#include "Session/PeriodicTask.h"
#include "Session/SessionRules.h"
#include "corvanta/mining/SystemGovernor.h"

namespace corvanta {
namespace {

Q_LOGGING_CATEGORY(scheduleLog, "corvanta.schedule")

QString name(std::string_view raw) {
    return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
}

}  // namespace

QStringList MiningSessionModel::scheduleNames() const {
    QStringList names;
    names.reserve(MiningSchedule::slotCount);
    for (int slot = 0; slot < MiningSchedule::slotCount; ++slot) {
        names.append(name(rawValue(schedule_[slot])));
    }
    return names;
}

void MiningSessionModel::setManuallyPaused(bool paused) {
    if (!assign(manuallyPaused_, paused, &MiningSessionModel::manuallyPausedChanged)) return;
    // The governor's pause or resume event is what gets logged.
    handOff([paused](SystemGovernor& governor) { governor.setManualPause(paused); });
}

void MiningSessionModel::selectPowerModeManually(const QString& mode) {
    if (const auto chosen = powerModeFromRawValue(mode.toStdString())) {
        selectPowerModeManually(*chosen);
    } else {
        qCWarning(scheduleLog) << "unknown power mode" << mode << "ignored";
    }
}

void MiningSessionModel::selectPowerModeManually(PowerMode mode) {
    setPowerMode(mode);
    setManuallyPaused(false);
    if (scheduleEnabled_) suspendScheduleUntilMidnight();
}

void MiningSessionModel::suspendScheduleUntilMidnight() {
    const SessionTime until = environment_.clock.nextLocalMidnight(now());
    assign(scheduleOverrideUntil_, until, &MiningSessionModel::scheduleOverrideUntilChanged);
    persistScheduleOverride();
    lastAppliedScheduleMode_.reset();
    handOff([](SystemGovernor& governor) {
        governor.setScheduledPause(false);
        governor.setSmartEnabled(false);
    });
    appendLog(QStringLiteral("Schedule suspended by manual mode change until ") +
              utcDescription(until));
}

void MiningSessionModel::setScheduleMode(const QString& mode, int from, int through) {
    if (const auto slotMode = scheduledModeFromRawValue(mode.toStdString())) {
        setScheduleMode(*slotMode, from, through);
    } else {
        qCWarning(scheduleLog) << "unknown schedule mode" << mode << "ignored";
    }
}

void MiningSessionModel::setScheduleMode(ScheduledMode mode, int from, int through) {
    MiningSchedule edited = schedule_;
    edited.setMode(mode, from, through);
    assign(schedule_, std::move(edited), &MiningSessionModel::scheduleChanged);
    persistSchedule();
    // Off or suspended, an edit is only saved.
    if (scheduleIsDriving()) applyScheduleNow();
}

void MiningSessionModel::setScheduleEnabled(bool enabled) {
    if (!assign(scheduleEnabled_, enabled, &MiningSessionModel::scheduleEnabledChanged)) return;
    persistScheduleEnabled();
    lastAppliedScheduleMode_.reset();
    if (enabled) {
        assign(scheduleOverrideUntil_, std::nullopt,
               &MiningSessionModel::scheduleOverrideUntilChanged);
        persistScheduleOverride();
        applyScheduleNow();
    } else {
        // The mode the last slot gave stays, and so does a stored override until the next
        // enabling.
        handOff([](SystemGovernor& governor) {
            governor.setScheduledPause(false);
            governor.setSmartEnabled(false);
        });
    }
}

void MiningSessionModel::resumeSchedule() {
    if (!scheduleOverrideUntil_) return;
    assign(scheduleOverrideUntil_, std::nullopt, &MiningSessionModel::scheduleOverrideUntilChanged);
    persistScheduleOverride();
    lastAppliedScheduleMode_.reset();
    if (scheduleEnabled_) applyScheduleNow();
}

void MiningSessionModel::updateCurrentSlot(SessionTime at) {
    assign(currentScheduleSlot_, MiningSchedule::slotIndex(at, environment_.clock.calendar()),
           &MiningSessionModel::currentScheduleSlotChanged);
}

void MiningSessionModel::applyScheduleNow() {
    updateCurrentSlot(now());
    const int slot = currentScheduleSlot_;
    const ScheduledMode mode = schedule_[slot];
    if (lastAppliedScheduleMode_ == mode) return;
    lastAppliedScheduleMode_ = mode;
    if (const auto effort = corvanta::powerMode(mode)) setPowerMode(*effort);
    handOff([mode](SystemGovernor& governor) {
        governor.setScheduledPause(mode == ScheduledMode::off);
        governor.setSmartEnabled(usesSmartPolicy(mode));
    });
    appendLog(QStringLiteral("Schedule slot ") +
              QString::fromStdString(MiningSchedule::startLabel(slot)) +
              QStringLiteral(" \u2014 ") + name(rawValue(mode)));
}

void MiningSessionModel::scheduleTick() {
    const SessionTime at = now();
    updateCurrentSlot(at);
    const bool overrideOver = scheduleOverrideUntil_ && at >= *scheduleOverrideUntil_;
    if (scheduleEnabled_ && overrideOver) resumeSchedule();
    if (scheduleEnabled_ && (!scheduleOverrideUntil_ || at >= *scheduleOverrideUntil_)) {
        applyScheduleNow();
    }
}

void MiningSessionModel::startScheduleTicker() {
    scheduleTask_ = new PeriodicTask(
        environment_.timings.scheduleTickInterval,
        [this](const PeriodicTask::Done& done) {
            scheduleTick();
            done();
        },
        this);
    scheduleTask_->start();
}

}  // namespace corvanta
