// The persisted settings: loaded once, stored at each change, forwarded to a running session.
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

#include "Session/SessionModelInternals.h"
#include "SystemServices/SettingsSaving.h"
#include "SystemServices/SleepPreventionAssertion.h"
#include "Usage/UsagePulse.h"
#include "corvanta/mining/SystemGovernor.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

Q_LOGGING_CATEGORY(settingsLog, "corvanta.settings")

namespace Key {
const QString selectedNetwork = QStringLiteral("rigwell.selectedNetwork");
const QString powerMode = QStringLiteral("rigwell.powerMode");
const QString advancedWorkerCount = QStringLiteral("rigwell.advancedWorkerCount");
const QString allowMiningOnBattery = QStringLiteral("rigwell.allowMiningOnBattery");
const QString preventIdleSleepEnabled = QStringLiteral("rigwell.preventIdleSleepEnabled");
const QString usageStatisticsEnabled = QStringLiteral("rigwell.usageStatisticsEnabled");
const QString scheduleEnabled = QStringLiteral("rigwell.scheduleEnabled");
const QString scheduleSlots = QStringLiteral("rigwell.scheduleSlots");
const QString scheduleOverrideUntil = QStringLiteral("rigwell.scheduleOverrideUntil");
const QString lifetimeHashes = QStringLiteral("rigwell.lifetimeHashes");
const QString storageTargetGiB = QStringLiteral("rigwell.storageTargetGiB");
}  // namespace Key

QString name(std::string_view raw) {
    return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
}

std::optional<int> workerOverride(std::optional<std::int64_t> stored) {
    if (!stored || *stored < 1) return std::nullopt;
    return int(std::min<std::int64_t>(*stored, std::numeric_limits<int>::max()));
}

}  // namespace

void MiningSessionModel::loadSettings() {
    const auto network = preferences_.string(Key::selectedNetwork);
    selectedNetwork_ = (network ? bitcoinNetwork(network->toStdString()) : std::nullopt)
                           .value_or(BitcoinNetwork::mainnet);
    const auto mode = preferences_.string(Key::powerMode);
    powerMode_ = (mode ? powerModeFromRawValue(mode->toStdString()) : std::nullopt)
                     .value_or(PowerMode::balanced);
    advancedWorkerCount_ = workerOverride(preferences_.integer(Key::advancedWorkerCount));
    allowMiningOnBattery_ = preferences_.boolean(Key::allowMiningOnBattery).value_or(false);
    preventIdleSleepEnabled_ = preferences_.boolean(Key::preventIdleSleepEnabled).value_or(false);
    usageStatisticsEnabled_ = preferences_.boolean(Key::usageStatisticsEnabled).value_or(true);
    scheduleEnabled_ = preferences_.boolean(Key::scheduleEnabled).value_or(false);
    schedule_ = MiningSchedule(scheduledMode(powerMode_));
    if (const auto stored = preferences_.json(Key::scheduleSlots)) {
        try {
            schedule_ = MiningSchedule::decodeJSON(stored->toStdString());
        } catch (const std::exception&) {
            // Left as stored until the next edit overwrites it; the filled default applies.
        }
    }
    currentScheduleSlot_ = MiningSchedule::slotIndex(now(), environment_.clock.calendar());
    if (const auto until = preferences_.date(Key::scheduleOverrideUntil)) {
        scheduleOverrideUntil_ = SessionTime(std::chrono::milliseconds(until->toMSecsSinceEpoch()));
    }
    lifetimeHashes_ = preferences_.unsignedInteger(Key::lifetimeHashes).value_or(0);
    const auto target = preferences_.integer(Key::storageTargetGiB).value_or(0);
    storageTarget_ =
        (target >= 0 && target <= 30 ? corvanta::storageTarget(int(target)) : std::nullopt)
            .value_or(StorageTarget::gib15);
}

void MiningSessionModel::handOff(std::function<void(SystemGovernor&)> calls) {
    // Only the running session's governor: the next one is configured from the properties.
    if (!governor_) return;
    governorLane_->start([governor = governor_, calls = std::move(calls)] { calls(*governor); });
}

QString MiningSessionModel::selectedNetworkName() const {
    return name(rawValue(selectedNetwork_));
}

void MiningSessionModel::setSelectedNetworkName(const QString& text) {
    if (const auto network = bitcoinNetwork(text.toStdString())) {
        setSelectedNetwork(*network);
    } else {
        qCWarning(settingsLog) << "unknown network" << text << "ignored";
    }
}

void MiningSessionModel::setSelectedNetwork(BitcoinNetwork network) {
    if (!assign(selectedNetwork_, network, &MiningSessionModel::selectedNetworkChanged)) return;
    preferences_.setString(Key::selectedNetwork, name(rawValue(network)));
    // The text typed for that network comes back (and is stored, empty when there was none).
    setPayoutAddressInput(preferences_.string(addressDefaultsKey(network)).value_or(QString()));
}

void MiningSessionModel::setPayoutAddressInput(const QString& text) {
    assign(payoutAddressInput_, text, &MiningSessionModel::payoutAddressInputChanged);
    // Every assignment, changed or not: the key of a network is written as soon as it is shown.
    preferences_.setString(addressDefaultsKey(selectedNetwork_), text);
}

QString MiningSessionModel::powerModeName() const {
    return name(rawValue(powerMode_));
}

void MiningSessionModel::setPowerModeName(const QString& text) {
    if (const auto mode = powerModeFromRawValue(text.toStdString())) {
        setPowerMode(*mode);
    } else {
        qCWarning(settingsLog) << "unknown power mode" << text << "ignored";
    }
}

void MiningSessionModel::setPowerMode(PowerMode mode) {
    if (!assign(powerMode_, mode, &MiningSessionModel::powerModeChanged)) return;
    preferences_.setString(Key::powerMode, name(rawValue(mode)));
    handOff([mode](SystemGovernor& governor) { governor.setPowerMode(mode); });
}

QVariant MiningSessionModel::advancedWorkerCountValue() const {
    return toVariant(advancedWorkerCount_);
}

void MiningSessionModel::setAdvancedWorkerCountValue(const QVariant& count) {
    bool isNumber = false;
    const qint64 value = count.toLongLong(&isNumber);
    setAdvancedWorkerCount(isNumber && !count.isNull() ? workerOverride(value) : std::nullopt);
}

void MiningSessionModel::setAdvancedWorkerCount(std::optional<int> count) {
    // Below one worker means no override, as a stored 0 does.
    if (count && *count < 1) count.reset();
    if (!assign(advancedWorkerCount_, count, &MiningSessionModel::advancedWorkerCountChanged)) {
        return;
    }
    preferences_.setInteger(Key::advancedWorkerCount, count.value_or(0));
    handOff([count](SystemGovernor& governor) { governor.setAdvancedWorkerCount(count); });
}

void MiningSessionModel::setAllowMiningOnBattery(bool allowed) {
    if (!assign(allowMiningOnBattery_, allowed, &MiningSessionModel::allowMiningOnBatteryChanged)) {
        return;
    }
    preferences_.setBoolean(Key::allowMiningOnBattery, allowed);
    handOff([allowed](SystemGovernor& governor) { governor.setAllowMiningOnBattery(allowed); });
}

void MiningSessionModel::setPreventIdleSleepEnabled(bool enabled) {
    if (!assign(preventIdleSleepEnabled_, enabled,
                &MiningSessionModel::preventIdleSleepEnabledChanged)) {
        return;
    }
    preferences_.setBoolean(Key::preventIdleSleepEnabled, enabled);
    applySleepPreventionSetting();
}

void MiningSessionModel::applySleepPreventionSetting() {
    const bool sessionRuns =
        runState_.kind != RunStateKind::idle && runState_.kind != RunStateKind::failed;
    if (sessionRuns && preventIdleSleepEnabled_) {
        sleepAssertion_->acquire(QStringLiteral("Corvanta"));
    } else {
        sleepAssertion_->release();
    }
}

void MiningSessionModel::setUsageStatisticsEnabled(bool enabled) {
    if (!assign(usageStatisticsEnabled_, enabled,
                &MiningSessionModel::usageStatisticsEnabledChanged)) {
        return;
    }
    preferences_.setBoolean(Key::usageStatisticsEnabled, enabled);
    // A later opt-in starts with a new identity and no day counted as sent.
    if (!enabled) UsagePulseIdentity::forget(preferences_);
}

void MiningSessionModel::setStorageTargetGiB(int gib) {
    if (const auto target = corvanta::storageTarget(gib)) {
        setStorageTarget(*target);
    } else {
        qCWarning(settingsLog) << "unknown storage target" << gib << "GiB ignored";
    }
}

void MiningSessionModel::setStorageTarget(StorageTarget target) {
    if (!assign(storageTarget_, target, &MiningSessionModel::storageTargetChanged)) return;
    preferences_.setInteger(Key::storageTargetGiB, rawValue(target));
}

void MiningSessionModel::followSettingsSaving() {
    // Said once each time the saving begins to fail, whoever's write met it (the views' own
    // preferences share the store), and once when a save goes through again. The views say it of
    // a file never opened too (unreadable, unusable and left in place, or without a place): what
    // is answered now is kept no better; its check has named it in the log.
    const auto problem = preferences_.saveProblem();
    const bool unkept = problem || preferences_.keepsNothing();
    if (unkept == !settingsUnsavedFile_.isEmpty()) return;
    assign(settingsUnsavedFile_, unkept ? preferences_.shownFileName() : QString(),
           &MiningSessionModel::settingsUnsavedFileChanged);
    if (preferences_.keepsNothing()) return;
    const QString fileName = QFileInfo(preferences_.fileName()).fileName();
    appendLog(problem ? settingsUnsavedLogLine(fileName, *problem)
                      : settingsSavedAgainLogLine(fileName));
}

void MiningSessionModel::sayStandingSettingsLines() {
    // Only a line that has left the log: one still among the lines kept is not said twice.
    const auto sayAgain = [this](const QString& line) {
        const auto& kept = eventLog_.entries();
        if (std::none_of(kept.begin(), kept.end(),
                         [&line](const LogEntry& entry) { return entry.message == line; })) {
            appendLog(line);
        }
    };
    if (settingsFileNotice_) sayAgain(*settingsFileNotice_);
    if (const auto problem = preferences_.saveProblem()) {
        sayAgain(settingsUnsavedLogLine(QFileInfo(preferences_.fileName()).fileName(), *problem));
    }
}

void MiningSessionModel::noteSettingsFileCheck(const QString& line) {
    settingsFileNotice_ = line;
    appendLog(line);
}

// Hashing counters that outlive the session.

void MiningSessionModel::accumulateLifetimeHashes(std::uint64_t hashes) {
    if (hashes == 0) return;
    assign(lifetimeHashes_, lifetimeHashes_ + hashes, &MiningSessionModel::lifetimeHashesChanged);
    const SessionTime at = now();
    if (lastLifetimePersist_ &&
        at - *lastLifetimePersist_ < environment_.timings.lifetimePersistInterval) {
        return;
    }
    lastLifetimePersist_ = at;
    preferences_.setUnsignedInteger(Key::lifetimeHashes, lifetimeHashes_);
}

// The schedule's stored forms.

void MiningSessionModel::persistSchedule() {
    preferences_.setJson(Key::scheduleSlots, QString::fromStdString(schedule_.encodeJSON()));
}

void MiningSessionModel::persistScheduleEnabled() {
    preferences_.setBoolean(Key::scheduleEnabled, scheduleEnabled_);
}

void MiningSessionModel::persistScheduleOverride() {
    if (scheduleOverrideUntil_) {
        preferences_.setDate(Key::scheduleOverrideUntil, toDateTime(*scheduleOverrideUntil_));
    } else {
        preferences_.remove(Key::scheduleOverrideUntil);
    }
}

}  // namespace corvanta
