#include "Session/MiningSessionModel.h"

#include <QQmlEngine>
#include <QTimer>

#include <sched.h>

#include <algorithm>

#include "Notifications/MinerNotifications.h"
#include "Session/HeldRecords.h"
#include "Session/PeriodicTask.h"
#include "Session/SessionDriver.h"
#include "Session/SessionModelInternals.h"
#include "Session/SessionRules.h"
#include "SystemServices/SleepPreventionAssertion.h"
#include "Usage/UsagePulse.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/LiveSystemStateSource.h"
#include "corvanta/mining/SystemGovernor.h"
#include "corvanta/support/Uuid.h"
#include "corvanta/widgetkit/WidgetCenter.h"

namespace corvanta {

int session::activeProcessorCount() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return QThread::idealThreadCount();
    return std::max(CPU_COUNT(&allowed), 1);
}

namespace {

std::unique_ptr<QThreadPool> makePool(int threads) {
    auto pool = std::make_unique<QThreadPool>();
    pool->setMaxThreadCount(std::max(threads, 1));
    return pool;
}

}  // namespace

MiningSessionModel::RunState MiningSessionModel::RunState::syncing(std::int64_t blocks,
                                                                   std::int64_t headers,
                                                                   double percent) {
    return {RunStateKind::syncing, blocks, headers, percent, {}};
}

MiningSessionModel::RunState MiningSessionModel::RunState::failed(QString message) {
    return {RunStateKind::failed, 0, 0, 0, std::move(message)};
}

MiningSessionModel::MiningSessionModel(Preferences preferences, QDBusConnection sessionBus,
                                       QDBusConnection systemBus, SessionEnvironment environment,
                                       QObject* parent)
    : QObject(parent),
      preferences_(std::move(preferences)),
      environment_(std::move(environment)),
      pool_(makePool(environment_.timings.poolThreads)),
      governorLane_(makePool(1)),
      ledgerLane_(makePool(1)),
      notifications_(new MinerNotifications(sessionBus, this)),
      sleepAssertion_(new SleepPreventionAssertion(systemBus, this)),
      // A running widget host reloads its timelines when asked; without one nothing happens.
      reloadWidgets_(
          [center = widgetkit::WidgetCenter(sessionBus)] { center.reloadAllTimelines(); }) {
    // A member, not a child: the views must never take it over.
    QQmlEngine::setObjectOwnership(&eventLog_, QQmlEngine::CppOwnership);

    // 1. The settings, then what the model builds for itself. A file that will take no change
    // is said before the user makes one.
    loadSettings();
    preferences_.followSaving(this, [this] { followSettingsSaving(); });
    followSettingsSaving();
    usagePulse_ = std::make_unique<UsagePulseReporter>(preferences_);
    auto readers = environment_.cpuReaders();
    readers.now = environment_.clock.monotonicNow;
    const int processors = environment_.processorCount > 0 ? environment_.processorCount
                                                           : session::activeProcessorCount();
    cpuUsageProbe_ = std::make_shared<CPUUsageProbe>(processors, std::move(readers));
    systemState_ = environment_.systemState ? environment_.systemState
                                            : std::make_shared<LiveSystemStateSource>();
    performanceCores_ = environment_.performanceCoreCount > 0 ? environment_.performanceCoreCount
                                                              : CPUEngine::performanceCoreCount();

    // 2. Through the setter, so that the first launch leaves the key behind, possibly empty.
    setPayoutAddressInput(
        preferences_.string(addressDefaultsKey(selectedNetwork_)).value_or(QString()));

    derived_ = std::make_unique<Derived>(computeDerived());

    // 3. The tasks that live as long as the model.
    startCPUUsageSampler();
    startScheduleTicker();
    startEngineSelfTest();

    // 4. What the views show before any session.
    loadProofLog();
    loadPersistedHistory();

    session_ = new SessionDriver(*this, environment_.session);
}

MiningSessionModel::~MiningSessionModel() {
    // Its nodes and loops end before the pool they use is waited for.
    if (session_) session_->teardown();
    for (auto* task : {cpuUsageTask_, scheduleTask_, selfTestTask_}) {
        if (task) task->stop();
    }
    // A ledger or history still being read stops at its next entry: a quit never waits for a
    // long file.
    readStop_.request_stop();
    // Work in flight holds only its own copies; wait for it before anything it might outlive.
    pool_->waitForDone();
    governorLane_->waitForDone();
    ledgerLane_->waitForDone();
    // After every periodic write has landed, so that none of them can follow it.
    writeFinalWidgetSnapshot();
}

void MiningSessionModel::setWidgetReloadHook(std::function<void()> reload) {
    reloadWidgets_ = std::move(reload);
}

void MiningSessionModel::start() {
    session_->start();
}

void MiningSessionModel::stop() {
    session_->stop();
}

void MiningSessionModel::shutdownForTermination() {
    readStop_.request_stop();
    session_->shutdownForTermination();
}

bool MiningSessionModel::shutdownInProgress() const {
    return session_ && session_->shutdownInProgress();
}

void MiningSessionModel::appendLog(const QString& message) {
    const int before = eventLog_.count();
    eventLog_.append({QString::fromStdString(makeUuid()), toDateTime(now()), message});
    // The log was trimmed of its oldest lines: what still holds of the settings file is said again.
    if (eventLog_.count() <= before) sayStandingSettingsLines();
}

QString MiningSessionModel::addressDefaultsKey(BitcoinNetwork network) {
    return QStringLiteral("rigwell.payoutAddress.") +
           QString::fromLatin1(rawValue(network).data(), qsizetype(rawValue(network).size()));
}

// Session figures.

void MiningSessionModel::setRunState(const RunState& state) {
    assign(runState_, state, &MiningSessionModel::runStateChanged);
}

void MiningSessionModel::setActiveNetwork(std::optional<BitcoinNetwork> network) {
    assign(activeNetwork_, network, &MiningSessionModel::activeNetworkChanged);
}

QVariant MiningSessionModel::activeNetworkValue() const {
    if (!activeNetwork_) return {};
    const auto name = rawValue(*activeNetwork_);
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

void MiningSessionModel::setActivePayout(std::optional<PayoutResolution> payout) {
    assign(activePayout_, std::move(payout), &MiningSessionModel::activePayoutChanged);
}

void MiningSessionModel::setMiningStartedAt(std::optional<SessionTime> at) {
    assign(miningStartedAt_, at, &MiningSessionModel::miningStartedAtChanged);
}

void MiningSessionModel::setSessionStartHeight(std::optional<std::int64_t> height) {
    assign(sessionStartHeight_, height, &MiningSessionModel::sessionStartHeightChanged);
}

void MiningSessionModel::setChainStatus(std::optional<ChainStatus> status) {
    assign(chainStatus_, std::move(status), &MiningSessionModel::chainStatusChanged);
}

void MiningSessionModel::setChainStatusUpdatedAt(std::optional<SessionTime> at) {
    assign(chainStatusUpdatedAt_, at, &MiningSessionModel::chainStatusUpdatedAtChanged);
}

void MiningSessionModel::setPeerCount(std::optional<int> count) {
    // The first report of none starts the count; the others keep it.
    if (count && *count == 0) {
        if (!noPeersSince_) noPeersSince_ = now();
    } else {
        noPeersSince_.reset();
    }
    assign(peerCount_, count, &MiningSessionModel::peerCountChanged);
}

void MiningSessionModel::setDiskFullAlert(std::optional<std::filesystem::path> folder,
                                          const QString& text) {
    diskFullFolder_ = std::move(folder);
    const QString shown = diskFullFolder_ ? text : QString();
    if (shown == diskFullAlert_) return;
    diskFullAlert_ = shown;
    emit diskFullAlertChanged();
}

void MiningSessionModel::clearDiskFullAlertIfRoom() {
    if (diskFullFolder_ && folderHasRoomForBlocks(*diskFullFolder_)) setDiskFullAlert(std::nullopt);
}

void MiningSessionModel::setCoreVersion(std::optional<QString> version) {
    assign(coreVersion_, std::move(version), &MiningSessionModel::coreVersionChanged);
}

void MiningSessionModel::setNetworkTipTimestamp(std::optional<SessionTime> at) {
    assign(networkTipTimestamp_, at, &MiningSessionModel::networkTipTimestampChanged);
}

void MiningSessionModel::setNetworkTipObservedAt(std::optional<SessionTime> at) {
    assign(networkTipObservedAt_, at, &MiningSessionModel::networkTipObservedAtChanged);
}

void MiningSessionModel::setNetworkHashesPerSecond(std::optional<double> rate) {
    assign(networkHashesPerSecond_, rate, &MiningSessionModel::networkHashesPerSecondChanged);
}

void MiningSessionModel::setTemplateHeight(std::optional<std::int64_t> height) {
    assign(templateHeight_, height, &MiningSessionModel::templateHeightChanged);
}

void MiningSessionModel::setTemplateTransactionCount(std::optional<std::int64_t> count) {
    assign(templateTransactionCount_, count, &MiningSessionModel::templateTransactionCountChanged);
}

void MiningSessionModel::setTemplateBits(std::optional<std::uint32_t> bits) {
    assign(templateBits_, bits, &MiningSessionModel::templateBitsChanged);
}

void MiningSessionModel::setCurrentExtranonce(std::uint64_t extranonce) {
    assign(currentExtranonce_, extranonce, &MiningSessionModel::currentExtranonceChanged);
}

void MiningSessionModel::setTemplatesReceived(int count) {
    assign(templatesReceived_, count, &MiningSessionModel::templatesReceivedChanged);
}

void MiningSessionModel::setTemplatesAbandoned(int count) {
    assign(templatesAbandoned_, count, &MiningSessionModel::templatesAbandonedChanged);
}

void MiningSessionModel::setExtranonceRotations(int count) {
    assign(extranonceRotations_, count, &MiningSessionModel::extranonceRotationsChanged);
}

QList<double> MiningSessionModel::workLoadLatencies() const {
    return QList<double>(workLoadLatencies_.begin(), workLoadLatencies_.end());
}

void MiningSessionModel::setWorkLoadLatencies(std::vector<double> latencies) {
    assign(workLoadLatencies_, std::move(latencies), &MiningSessionModel::workLoadLatenciesChanged);
}

void MiningSessionModel::setCandidateValidation(std::optional<CandidateValidation> validation) {
    assign(candidateValidation_, std::move(validation),
           &MiningSessionModel::candidateValidationChanged);
}

void MiningSessionModel::setSessionHashes(std::uint64_t hashes) {
    assign(sessionHashes_, hashes, &MiningSessionModel::sessionHashesChanged);
}

void MiningSessionModel::setCurrentHashRateMHs(double rate) {
    assign(currentHashRateMHs_, rate, &MiningSessionModel::currentHashRateMHsChanged);
}

void MiningSessionModel::setHashRateHistory(std::vector<HashRateSample> samples) {
    assign(hashRateHistory_, std::move(samples), &MiningSessionModel::hashRateHistoryChanged);
}

void MiningSessionModel::setEffectiveWorkerCount(std::optional<int> count) {
    assign(effectiveWorkerCount_, count, &MiningSessionModel::effectiveWorkerCountChanged);
}

void MiningSessionModel::setBestDifficultySession(std::optional<double> difficulty) {
    assign(bestDifficultySession_, difficulty, &MiningSessionModel::bestDifficultySessionChanged);
}

void MiningSessionModel::setBestDifficultyAllTime(std::optional<double> difficulty) {
    assign(bestDifficultyAllTime_, difficulty, &MiningSessionModel::bestDifficultyAllTimeChanged);
}

void MiningSessionModel::setBestDifficultyNetwork(std::optional<double> difficulty) {
    assign(bestDifficultyNetwork_, difficulty, &MiningSessionModel::bestDifficultyNetworkChanged);
}

void MiningSessionModel::setBlocksFound(std::vector<FoundBlockRecord> blocks) {
    assign(blocksFound_, std::move(blocks), &MiningSessionModel::blocksFoundChanged);
}

void MiningSessionModel::setBlockFoundPresentation(
    std::optional<BlockFoundPresentation> presentation) {
    assign(blockFoundPresentation_, std::move(presentation),
           &MiningSessionModel::blockFoundPresentationChanged);
}

void MiningSessionModel::setBlockFoundPresentationValue(const QVariant& presentation) {
    if (presentation.canConvert<BlockFoundPresentation>() && !presentation.isNull()) {
        setBlockFoundPresentation(presentation.value<BlockFoundPresentation>());
    } else {
        setBlockFoundPresentation(std::nullopt);
    }
}

void MiningSessionModel::setPersistedHistory(std::vector<FoundBlock> newest, std::int64_t count) {
    persistedHistoryRead_ = true;
    if (newest.size() > persistedHistoryKept) {
        newest.erase(newest.begin(), newest.end() - std::ptrdiff_t(persistedHistoryKept));
    }
    if (persistedHistory_ == newest && persistedHistoryCount_ == count) return;
    persistedHistory_ = std::move(newest);
    persistedHistoryCount_ = count;
    emit persistedHistoryChanged();
}

void MiningSessionModel::setPersistedHistoryTotalSats(std::int64_t sats) {
    assign(persistedHistoryTotalSats_, sats, &MiningSessionModel::persistedHistoryTotalSatsChanged);
}

void MiningSessionModel::setEarnings(std::optional<EarningsSnapshot> earnings) {
    assign(earnings_, std::move(earnings), &MiningSessionModel::earningsChanged);
}

void MiningSessionModel::setEarningsScanState(EarningsScanStateValue state) {
    assign(earningsScanState_, std::move(state), &MiningSessionModel::earningsScanStateChanged);
}

void MiningSessionModel::setGovernorPaused(bool paused, const QString& reason) {
    // A decision read without its event leaves the reason the event gave.
    const QString kept = !paused ? QString() : reason.isEmpty() ? governorPauseReason_ : reason;
    const bool reasonChanged = kept != governorPauseReason_;
    governorPauseReason_ = kept;
    if (!assign(governorPaused_, paused, &MiningSessionModel::governorPausedChanged) &&
        reasonChanged) {
        emit governorPausedChanged();
    }
}

QString MiningSessionModel::thermalStateName() const {
    switch (thermalState_) {
        case ThermalState::nominal:
            return QStringLiteral("nominal");
        case ThermalState::fair:
            return QStringLiteral("fair");
        case ThermalState::serious:
            return QStringLiteral("serious");
        case ThermalState::critical:
            return QStringLiteral("critical");
    }
    return {};
}

QVariant MiningSessionModel::appliedPowerMode(const QVariant& effectiveWorkerCount,
                                              int maxWorkers) const {
    bool isNumber = false;
    const int count = effectiveWorkerCount.toInt(&isNumber);
    const auto mode = corvanta::appliedPowerMode(
        effectiveWorkerCount.isValid() && !effectiveWorkerCount.isNull() && isNumber
            ? std::optional<int>(count)
            : std::nullopt,
        maxWorkers);
    if (!mode) return {};
    return QString::fromLatin1(rawValue(*mode).data(), qsizetype(rawValue(*mode).size()));
}

}  // namespace corvanta
