#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "Session/EventLogModel.h"
#include "Session/SessionEnvironment.h"
#include "Session/SessionModelState.h"
#include "SystemServices/Preferences.h"

class QThreadPool;

namespace corvanta {

class CPUEngine;
class MiningHistoryStore;
struct MinerSnapshot;
class MinerNotifications;
class PeriodicTask;
class SessionDriver;
class SleepPreventionAssertion;
class SystemGovernor;
class UsagePulseReporter;

// The one object that holds what every view shows about mining: the settings, the day schedule,
// the session's figures and the machine's health. Lives on the GUI thread, one per process; its
// blocking work runs on a pool of its own and comes back to the GUI thread to be applied.
//
// Every property notifies only when it gets a different value. Optional values are undefined
// when absent. Derived values are read-only and re-notified when an input changes and on the
// once-a-second tick (their freshness rules follow the clock).
class MiningSessionModel : public QObject, public SessionModelState {
    Q_OBJECT

  public:
    enum class RunStateKind { idle, startingNode, syncing, mining, stopping, failed };
    Q_ENUM(RunStateKind)
    enum class RPCLinkState { disconnected, connected, unresponsive };
    Q_ENUM(RPCLinkState)

    struct RunState {
        RunStateKind kind = RunStateKind::idle;
        std::int64_t syncBlocks = 0;
        std::int64_t syncHeaders = 0;
        double syncPercent = 0;
        QString failureMessage;

        static RunState syncing(std::int64_t blocks, std::int64_t headers, double percent);
        static RunState failed(QString message);
        bool operator==(const RunState&) const = default;
    };

    // Settings, stored at every change.
    Q_PROPERTY(QString selectedNetwork READ selectedNetworkName WRITE setSelectedNetworkName NOTIFY
                   selectedNetworkChanged)
    Q_PROPERTY(QString payoutAddressInput READ payoutAddressInput WRITE setPayoutAddressInput NOTIFY
                   payoutAddressInputChanged)
    Q_PROPERTY(QString powerMode READ powerModeName WRITE setPowerModeName NOTIFY powerModeChanged)
    Q_PROPERTY(QVariant advancedWorkerCount READ advancedWorkerCountValue WRITE
                   setAdvancedWorkerCountValue NOTIFY advancedWorkerCountChanged)
    Q_PROPERTY(bool allowMiningOnBattery READ allowMiningOnBattery WRITE setAllowMiningOnBattery
                   NOTIFY allowMiningOnBatteryChanged)
    Q_PROPERTY(bool preventIdleSleepEnabled READ preventIdleSleepEnabled WRITE
                   setPreventIdleSleepEnabled NOTIFY preventIdleSleepEnabledChanged)
    Q_PROPERTY(bool usageStatisticsEnabled READ usageStatisticsEnabled WRITE
                   setUsageStatisticsEnabled NOTIFY usageStatisticsEnabledChanged)
    // 15, 20 or 30 (GiB).
    Q_PROPERTY(int storageTarget READ storageTargetGiB WRITE setStorageTargetGiB NOTIFY
                   storageTargetChanged)

    // Schedule and pause.
    Q_PROPERTY(bool manuallyPaused READ manuallyPaused NOTIFY manuallyPausedChanged)
    Q_PROPERTY(bool governorPaused READ governorPaused NOTIFY governorPausedChanged)
    // The governor's own words for its pause (fixed French, as the log has them); empty when
    // it is not paused.
    Q_PROPERTY(QString governorPauseReason READ governorPauseReason NOTIFY governorPausedChanged)
    Q_PROPERTY(bool scheduleEnabled READ scheduleEnabled NOTIFY scheduleEnabledChanged)
    // 144 mode names, slot 0 first.
    Q_PROPERTY(QStringList schedule READ scheduleNames NOTIFY scheduleChanged)
    Q_PROPERTY(int currentScheduleSlot READ currentScheduleSlot NOTIFY currentScheduleSlotChanged)
    Q_PROPERTY(QVariant scheduleOverrideUntil READ scheduleOverrideUntilValue NOTIFY
                   scheduleOverrideUntilChanged)

    // Session. The run state's values are flattened: the sync figures while syncing, the message
    // when failed.
    Q_PROPERTY(RunStateKind runState READ runStateKind NOTIFY runStateChanged)
    Q_PROPERTY(qint64 syncBlocks READ syncBlocks NOTIFY runStateChanged)
    Q_PROPERTY(qint64 syncHeaders READ syncHeaders NOTIFY runStateChanged)
    Q_PROPERTY(double syncPercent READ syncPercent NOTIFY runStateChanged)
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY runStateChanged)
    Q_PROPERTY(QVariant activeNetwork READ activeNetworkValue NOTIFY activeNetworkChanged)
    Q_PROPERTY(QVariant activePayout READ activePayoutValue NOTIFY activePayoutChanged)
    Q_PROPERTY(QVariant miningStartedAt READ miningStartedAtValue NOTIFY miningStartedAtChanged)
    Q_PROPERTY(
        QVariant sessionStartHeight READ sessionStartHeightValue NOTIFY sessionStartHeightChanged)

    // Node and chain.
    Q_PROPERTY(QVariant chainStatus READ chainStatusValue NOTIFY chainStatusChanged)
    Q_PROPERTY(QVariant chainStatusUpdatedAt READ chainStatusUpdatedAtValue NOTIFY
                   chainStatusUpdatedAtChanged)
    Q_PROPERTY(QVariant peerCount READ peerCountValue NOTIFY peerCountChanged)
    // Since when the node has reported no peer at all; undefined while it has one or is unknown.
    Q_PROPERTY(QVariant noPeersSince READ noPeersSinceValue NOTIFY peerCountChanged)
    // The dashboard's alert while a store's folder is full ("" when none).
    Q_PROPERTY(QString diskFullAlert READ diskFullAlert NOTIFY diskFullAlertChanged)
    Q_PROPERTY(QVariant coreVersion READ coreVersionValue NOTIFY coreVersionChanged)
    Q_PROPERTY(QVariant networkTipTimestamp READ networkTipTimestampValue NOTIFY
                   networkTipTimestampChanged)
    Q_PROPERTY(QVariant networkTipObservedAt READ networkTipObservedAtValue NOTIFY
                   networkTipObservedAtChanged)
    Q_PROPERTY(QVariant networkHashesPerSecond READ networkHashesPerSecondValue NOTIFY
                   networkHashesPerSecondChanged)

    // Work.
    Q_PROPERTY(QVariant templateHeight READ templateHeightValue NOTIFY templateHeightChanged)
    Q_PROPERTY(QVariant templateTransactionCount READ templateTransactionCountValue NOTIFY
                   templateTransactionCountChanged)
    Q_PROPERTY(QVariant templateBits READ templateBitsValue NOTIFY templateBitsChanged)
    Q_PROPERTY(quint64 currentExtranonce READ currentExtranonce NOTIFY currentExtranonceChanged)
    Q_PROPERTY(
        QString currentExtranonceText READ currentExtranonceText NOTIFY currentExtranonceChanged)
    Q_PROPERTY(int templatesReceived READ templatesReceived NOTIFY templatesReceivedChanged)
    Q_PROPERTY(int templatesAbandoned READ templatesAbandoned NOTIFY templatesAbandonedChanged)
    Q_PROPERTY(int extranonceRotations READ extranonceRotations NOTIFY extranonceRotationsChanged)
    Q_PROPERTY(
        QList<double> workLoadLatencies READ workLoadLatencies NOTIFY workLoadLatenciesChanged)
    Q_PROPERTY(QVariant candidateValidation READ candidateValidationValue NOTIFY
                   candidateValidationChanged)

    // Hashing.
    Q_PROPERTY(quint64 sessionHashes READ sessionHashes NOTIFY sessionHashesChanged)
    Q_PROPERTY(QString sessionHashesText READ sessionHashesText NOTIFY sessionHashesChanged)
    Q_PROPERTY(quint64 lifetimeHashes READ lifetimeHashes NOTIFY lifetimeHashesChanged)
    Q_PROPERTY(QString lifetimeHashesText READ lifetimeHashesText NOTIFY lifetimeHashesChanged)
    Q_PROPERTY(double currentHashRateMHs READ currentHashRateMHs NOTIFY currentHashRateMHsChanged)
    Q_PROPERTY(QVariantList hashRateHistory READ hashRateHistoryValue NOTIFY hashRateHistoryChanged)
    Q_PROPERTY(QVariant effectiveWorkerCount READ effectiveWorkerCountValue NOTIFY
                   effectiveWorkerCountChanged)
    Q_PROPERTY(QVariant bestDifficultySession READ bestDifficultySessionValue NOTIFY
                   bestDifficultySessionChanged)
    Q_PROPERTY(QVariant bestDifficultyAllTime READ bestDifficultyAllTimeValue NOTIFY
                   bestDifficultyAllTimeChanged)
    Q_PROPERTY(QVariant bestDifficultyNetwork READ bestDifficultyNetworkValue NOTIFY
                   bestDifficultyNetworkChanged)

    // Results.
    Q_PROPERTY(QVariantList blocksFound READ blocksFoundValue NOTIFY blocksFoundChanged)
    // The celebration sheet dismisses itself by writing undefined.
    Q_PROPERTY(QVariant blockFoundPresentation READ blockFoundPresentationValue WRITE
                   setBlockFoundPresentationValue NOTIFY blockFoundPresentationChanged)
    // The newest records of the history, and how many it holds.
    Q_PROPERTY(
        QVariantList persistedHistory READ persistedHistoryValue NOTIFY persistedHistoryChanged)
    Q_PROPERTY(
        qint64 persistedHistoryCount READ persistedHistoryCount NOTIFY persistedHistoryChanged)
    Q_PROPERTY(qint64 persistedHistoryTotalSats READ persistedHistoryTotalSats NOTIFY
                   persistedHistoryTotalSatsChanged)
    Q_PROPERTY(QVariant earnings READ earningsValue NOTIFY earningsChanged)
    Q_PROPERTY(
        QVariant earningsScanState READ earningsScanStateValue NOTIFY earningsScanStateChanged)

    // Proof ledger.
    Q_PROPERTY(int proofEntryCount READ proofEntryCount NOTIFY proofEntryCountChanged)
    Q_PROPERTY(
        QVariant proofVerification READ proofVerificationValue NOTIFY proofVerificationChanged)
    Q_PROPERTY(QVariantList recentProofEntries READ recentProofEntriesValue NOTIFY
                   recentProofEntriesChanged)
    Q_PROPERTY(bool proofLogUnreadable READ proofLogUnreadable NOTIFY proofLogUnreadableChanged)
    // What the ledger set aside, as the checker is to be given it (the journal, if any, beside it
    // as "<that>.journal"): empty when nothing.
    Q_PROPERTY(QString proofLogSetAside READ proofLogSetAside NOTIFY proofLogSetAsideChanged)
    // What that was: "ledger", "ledgerAndJournal", "journalRefused", "journalUnread"; or
    // "unreadable" when nothing was set aside but a file there could not be read (it is left as it
    // is); empty when all was read.
    Q_PROPERTY(QString proofSetAsideKind READ proofSetAsideKind NOTIFY proofSetAsideKindChanged)
    // The journal line the ledger refused (from 1), whether that journal still lies beside the
    // ledger or was set aside since; 0 when none.
    Q_PROPERTY(int proofJournalRefusedLine READ proofJournalRefusedLine NOTIFY
                   proofJournalRefusedLineChanged)
    // The ledger file shown, once it was loaded.
    Q_PROPERTY(QString proofLogFile READ proofLogFile NOTIFY proofLogFileChanged)

    // Health.
    Q_PROPERTY(QVariant selfTestVerdict READ selfTestVerdictValue NOTIFY selfTestVerdictChanged)
    Q_PROPERTY(
        QVariant selfTestCheckedAt READ selfTestCheckedAtValue NOTIFY selfTestCheckedAtChanged)
    Q_PROPERTY(QVariant cpuUsage READ cpuUsageValue NOTIFY cpuUsageChanged)
    // "nominal", "fair", "serious" or "critical".
    Q_PROPERTY(QString thermalState READ thermalStateName NOTIFY thermalStateChanged)

    // The settings file when the changes made cannot be saved to it (they hold until the
    // application quits), also when it could not be read or has no place; empty when they can.
    // Said once in the event log as well.
    Q_PROPERTY(
        QString settingsUnsavedFile READ settingsUnsavedFile NOTIFY settingsUnsavedFileChanged)
    Q_PROPERTY(corvanta::EventLogModel* eventLog READ eventLog CONSTANT)
    // A stop or a quit is still ending a node: the process must not exit yet.
    Q_PROPERTY(bool shutdownInProgress READ shutdownInProgress NOTIFY shutdownInProgressChanged)

    // Derived.
    Q_PROPERTY(bool isHashing READ isHashing NOTIFY isHashingChanged)
    Q_PROPERTY(QVariant freshChainStatus READ freshChainStatusValue NOTIFY freshChainStatusChanged)
    Q_PROPERTY(RPCLinkState rpcLinkState READ rpcLinkState NOTIFY rpcLinkStateChanged)
    Q_PROPERTY(QVariant confirmedNetworkTipTimestamp READ confirmedNetworkTipTimestampValue NOTIFY
                   confirmedNetworkTipTimestampChanged)
    Q_PROPERTY(QVariant currentCandidateValidation READ currentCandidateValidationValue NOTIFY
                   currentCandidateValidationChanged)
    Q_PROPERTY(
        bool payoutNeedsAttention READ payoutNeedsAttention NOTIFY payoutNeedsAttentionChanged)
    Q_PROPERTY(QVariant payoutDivergence READ payoutDivergenceValue NOTIFY payoutDivergenceChanged)
    Q_PROPERTY(bool scanCoversConfiguredAddress READ scanCoversConfiguredAddress NOTIFY
                   scanCoversConfiguredAddressChanged)
    Q_PROPERTY(QVariant bestAttemptShareOfNetwork READ bestAttemptShareOfNetworkValue NOTIFY
                   bestAttemptShareOfNetworkChanged)
    Q_PROPERTY(bool scheduleIsDriving READ scheduleIsDriving NOTIFY scheduleIsDrivingChanged)
    Q_PROPERTY(bool isThrottledBelowRequestedMode READ isThrottledBelowRequestedMode NOTIFY
                   isThrottledBelowRequestedModeChanged)
    Q_PROPERTY(
        QVariant workLoadStatistics READ workLoadStatisticsValue NOTIFY workLoadStatisticsChanged)

    // Loads the settings and starts the model's own tasks: CPU usage, heat and the widget
    // snapshot every second, the schedule ticker, the engine self-test at once and every ten
    // minutes, and the first loads of the selected network's proof ledger and found-block history.
    // Notifications go out on `sessionBus`; the idle-sleep lock comes from logind on `systemBus`.
    MiningSessionModel(Preferences preferences, QDBusConnection sessionBus,
                       QDBusConnection systemBus, SessionEnvironment environment = {},
                       QObject* parent = nullptr);
    ~MiningSessionModel() override;

    // Called after each second's snapshot is written, when what the widgets show has changed.
    void setWidgetReloadHook(std::function<void()> reload);

    // Actions of the views.
    // Starts a session from idle or failed: checks the engine and the payout, then launches the
    // node, syncs and mines. Otherwise nothing.
    Q_INVOKABLE void start();
    // Ends the running session; always wins, whatever the session is waiting for.
    Q_INVOKABLE void stop();
    // Saves the lifetime count and stops every loop and node, including a stop already under way;
    // emits terminationReady() once the process may end.
    Q_INVOKABLE void shutdownForTermination();
    bool shutdownInProgress() const;
    Q_INVOKABLE void setManuallyPaused(bool paused);
    // The power-mode picker: sets the mode, ends a manual pause and, while the schedule is on,
    // suspends it until midnight. An unknown name changes nothing.
    Q_INVOKABLE void selectPowerModeManually(const QString& mode);
    void selectPowerModeManually(PowerMode mode);
    Q_INVOKABLE void setScheduleMode(const QString& mode, int from, int through);
    void setScheduleMode(ScheduledMode mode, int from, int through);
    Q_INVOKABLE void setScheduleEnabled(bool enabled);
    Q_INVOKABLE void resumeSchedule();
    Q_INVOKABLE void suspendScheduleUntilMidnight();
    // The mode name a worker count stands for on `maxWorkers` cores; undefined for no count.
    Q_INVOKABLE QVariant appliedPowerMode(const QVariant& effectiveWorkerCount,
                                          int maxWorkers) const;

    // Settings.
    void setSelectedNetwork(BitcoinNetwork network);
    QString selectedNetworkName() const;
    void setSelectedNetworkName(const QString& name);
    void setPayoutAddressInput(const QString& text);
    void setPowerMode(PowerMode mode);
    QString powerModeName() const;
    void setPowerModeName(const QString& name);
    void setAdvancedWorkerCount(std::optional<int> count);
    QVariant advancedWorkerCountValue() const;
    void setAdvancedWorkerCountValue(const QVariant& count);
    void setAllowMiningOnBattery(bool allowed);
    void setPreventIdleSleepEnabled(bool enabled);
    void setUsageStatisticsEnabled(bool enabled);
    void setStorageTarget(StorageTarget target);
    void setStorageTargetGiB(int gib);

    // Schedule and pause.
    // A pause keeps the reason it was given; resuming clears it.
    void setGovernorPaused(bool paused, const QString& reason = {});
    QStringList scheduleNames() const;

    // Session.
    const RunState& runState() const { return runState_; }
    void setRunState(const RunState& state);
    RunStateKind runStateKind() const { return runState_.kind; }
    qint64 syncBlocks() const { return runState_.syncBlocks; }
    qint64 syncHeaders() const { return runState_.syncHeaders; }
    double syncPercent() const { return runState_.syncPercent; }
    QString failureMessage() const { return runState_.failureMessage; }
    void setActiveNetwork(std::optional<BitcoinNetwork> network);
    QVariant activeNetworkValue() const;
    void setActivePayout(std::optional<PayoutResolution> payout);
    void setMiningStartedAt(std::optional<SessionTime> at);
    void setSessionStartHeight(std::optional<std::int64_t> height);

    // Node and chain.
    void setChainStatus(std::optional<ChainStatus> status);
    void setChainStatusUpdatedAt(std::optional<SessionTime> at);
    void setPeerCount(std::optional<int> count);
    // Raised when a found block could not be written because `folder` is full; lowered by
    // clearDiskFullAlertIfRoom() once the folder has room again, and at the end of a session.
    void setDiskFullAlert(std::optional<std::filesystem::path> folder, const QString& text = {});
    void clearDiskFullAlertIfRoom();
    void setCoreVersion(std::optional<QString> version);
    void setNetworkTipTimestamp(std::optional<SessionTime> at);
    void setNetworkTipObservedAt(std::optional<SessionTime> at);
    void setNetworkHashesPerSecond(std::optional<double> rate);

    // Work.
    void setTemplateHeight(std::optional<std::int64_t> height);
    void setTemplateTransactionCount(std::optional<std::int64_t> count);
    void setTemplateBits(std::optional<std::uint32_t> bits);
    void setCurrentExtranonce(std::uint64_t extranonce);
    void setTemplatesReceived(int count);
    void setTemplatesAbandoned(int count);
    void setExtranonceRotations(int count);
    QList<double> workLoadLatencies() const;
    void setWorkLoadLatencies(std::vector<double> latencies);
    void setCandidateValidation(std::optional<CandidateValidation> validation);

    // Hashing.
    void setSessionHashes(std::uint64_t hashes);
    void setCurrentHashRateMHs(double rate);
    void setHashRateHistory(std::vector<HashRateSample> samples);
    void setEffectiveWorkerCount(std::optional<int> count);
    void setBestDifficultySession(std::optional<double> difficulty);
    void setBestDifficultyAllTime(std::optional<double> difficulty);
    void setBestDifficultyNetwork(std::optional<double> difficulty);

    // Results.
    void setBlocksFound(std::vector<FoundBlockRecord> blocks);
    void setBlockFoundPresentation(std::optional<BlockFoundPresentation> presentation);
    void setBlockFoundPresentationValue(const QVariant& presentation);
    // The newest records (at most persistedHistoryKept) and the number of records in all.
    void setPersistedHistory(std::vector<FoundBlock> newest, std::int64_t count);
    void setPersistedHistoryTotalSats(std::int64_t sats);
    void setEarnings(std::optional<EarningsSnapshot> earnings);
    void setEarningsScanState(EarningsScanStateValue state);

    // Health.
    QString thermalStateName() const;

    EventLogModel* eventLog() { return &eventLog_; }
    // Every log line goes through here.
    void appendLog(const QString& message);
    // The settings file's check at launch, when it found something: said now, and again by each
    // start that clears the log and each trim of its oldest lines, for it holds for the whole run.
    void noteSettingsFileCheck(const QString& line);

    // Derived values, computed at each read.
    bool isHashing() const;
    std::optional<ChainStatus> freshChainStatus() const;
    QVariant freshChainStatusValue() const { return toVariant(freshChainStatus()); }
    RPCLinkState rpcLinkState() const;
    // Whether the node's tip is the network's: fresh status, all headers' blocks, and, except on
    // regtest (no peers, and never out of its initial download by design), a peer and no
    // initial download.
    bool networkTipIsCurrent() const;
    std::optional<SessionTime> confirmedNetworkTipTimestamp() const;
    QVariant confirmedNetworkTipTimestampValue() const {
        return toVariant(confirmedNetworkTipTimestamp());
    }
    std::optional<CandidateValidation> currentCandidateValidation() const;
    QVariant currentCandidateValidationValue() const {
        return toVariant(currentCandidateValidation());
    }
    bool payoutNeedsAttention() const;
    std::optional<QString> payoutDivergence() const;
    QVariant payoutDivergenceValue() const { return toVariant(payoutDivergence()); }
    bool scanCoversConfiguredAddress() const;
    std::optional<double> bestAttemptShareOfNetwork() const;
    QVariant bestAttemptShareOfNetworkValue() const {
        return toVariant(bestAttemptShareOfNetwork());
    }
    bool scheduleIsDriving() const;
    bool isThrottledBelowRequestedMode() const;
    QVariant workLoadStatisticsValue() const;

    // Written by the session and its pollers.
    // The session's ledger, its figures refreshed from the entries it holds.
    void useProofLog(std::shared_ptr<ProofOfMining> ledger);
    // The ledger in `file`: the one loaded already when it is that file's, else loaded anew on
    // the ledger lane; entries recorded meanwhile wait for the load there, never mining.
    void useProofLogFile(const std::filesystem::path& file);
    // The session's engine, whose best attempt goes with each proof entry.
    void useEngine(std::shared_ptr<CPUEngine> engine);
    // The history the session records into: each widget snapshot counts what it holds at the
    // write, kept after the session ends for the snapshots that follow and the last one. Its
    // figures replace those of the first reading at once.
    void useHistoryStore(std::shared_ptr<MiningHistoryStore> history);
    // Reads the count, accepted total and newest records of that history again and shows them:
    // the card, the tray and the widgets all count what the store holds. Called after each
    // record, each refresh against the chain and each session's end. One reading at a time; a
    // call during one makes one more after it, so the last call's figures always land.
    void refreshHistoryFigures();
    // The store a session on `file` records into: the one the model holds when it is that file's
    // (read once for both), else a new one, unread.
    std::shared_ptr<MiningHistoryStore> historyStoreFor(const std::filesystem::path& file) const;
    // One ledger entry for a new network tip seen while mining; the same height twice adds one.
    void recordProofEntry(std::int64_t height, const QString& blockHash);
    // Hashes swept since the sampler's previous sample; saved at most once a minute.
    void accumulateLifetimeHashes(std::uint64_t hashes);
    // Holds or releases the idle-sleep lock: held exactly while a session runs with the setting
    // on.
    void applySleepPreventionSetting();

    // Static rules of the settings.
    static QString addressDefaultsKey(BitcoinNetwork network);

  signals:
    void selectedNetworkChanged();
    void payoutAddressInputChanged();
    void powerModeChanged();
    void advancedWorkerCountChanged();
    void allowMiningOnBatteryChanged();
    void preventIdleSleepEnabledChanged();
    void usageStatisticsEnabledChanged();
    void storageTargetChanged();
    void manuallyPausedChanged();
    void governorPausedChanged();
    void scheduleEnabledChanged();
    void scheduleChanged();
    void currentScheduleSlotChanged();
    void scheduleOverrideUntilChanged();
    void runStateChanged();
    void activeNetworkChanged();
    void activePayoutChanged();
    void miningStartedAtChanged();
    void sessionStartHeightChanged();
    void chainStatusChanged();
    void chainStatusUpdatedAtChanged();
    void peerCountChanged();
    void diskFullAlertChanged();
    void coreVersionChanged();
    void networkTipTimestampChanged();
    void networkTipObservedAtChanged();
    void networkHashesPerSecondChanged();
    void templateHeightChanged();
    void templateTransactionCountChanged();
    void templateBitsChanged();
    void currentExtranonceChanged();
    void templatesReceivedChanged();
    void templatesAbandonedChanged();
    void extranonceRotationsChanged();
    void workLoadLatenciesChanged();
    void candidateValidationChanged();
    void sessionHashesChanged();
    void lifetimeHashesChanged();
    void currentHashRateMHsChanged();
    void hashRateHistoryChanged();
    void effectiveWorkerCountChanged();
    void bestDifficultySessionChanged();
    void bestDifficultyAllTimeChanged();
    void bestDifficultyNetworkChanged();
    void blocksFoundChanged();
    void blockFoundPresentationChanged();
    void persistedHistoryChanged();
    void persistedHistoryTotalSatsChanged();
    void earningsChanged();
    void earningsScanStateChanged();
    void proofEntryCountChanged();
    void proofVerificationChanged();
    void recentProofEntriesChanged();
    void proofLogUnreadableChanged();
    void proofLogSetAsideChanged();
    void settingsUnsavedFileChanged();
    void proofJournalRefusedLineChanged();
    void proofSetAsideKindChanged();
    void proofLogFileChanged();
    void selfTestVerdictChanged();
    void selfTestCheckedAtChanged();
    void cpuUsageChanged();
    void thermalStateChanged();

    void isHashingChanged();
    void freshChainStatusChanged();
    void rpcLinkStateChanged();
    void confirmedNetworkTipTimestampChanged();
    void currentCandidateValidationChanged();
    void payoutNeedsAttentionChanged();
    void payoutDivergenceChanged();
    void scanCoversConfiguredAddressChanged();
    void bestAttemptShareOfNetworkChanged();
    void scheduleIsDrivingChanged();
    void isThrottledBelowRequestedModeChanged();
    void workLoadStatisticsChanged();

    void shutdownInProgressChanged();
    // shutdownForTermination() is done.
    void terminationReady();

  private:
    friend class SessionDriver;
    struct Derived;
    struct TickResult;
    struct WidgetPublication;
    struct LedgerSummary;
    struct LedgerSlot;

    SessionTime now() const { return environment_.clock.wallNow(); }

    // Stores `value` and emits `changed` when it differs; then re-evaluates the derived values.
    template <typename T, typename U>
    bool assign(T& member, U&& value, void (MiningSessionModel::*changed)());
    Derived computeDerived() const;
    void refreshDerived();

    // Settings.
    void loadSettings();
    // Follows the settings store's saving into settingsUnsavedFile and the event log: once when it
    // begins to fail (or is foreseen to), once when a save goes through again.
    void followSettingsSaving();
    // After the log is cleared or trimmed: the settings file's check and a saving still failing,
    // again, each only when it is no longer among the lines kept.
    void sayStandingSettingsLines();
    void handOff(std::function<void(SystemGovernor&)> calls);
    void persistSchedule();
    void persistScheduleEnabled();
    void persistScheduleOverride();

    // Schedule.
    void applyScheduleNow();
    void scheduleTick();
    void updateCurrentSlot(SessionTime at);

    // The model's own tasks.
    void startCPUUsageSampler();
    void startScheduleTicker();
    void startEngineSelfTest();
    void cpuUsagePass(std::function<void()> done);
    WidgetPublication publishWidgetSnapshot() const;
    // To the environment's container, else the shared one.
    static void writeWidgetSnapshot(const MinerSnapshot& snapshot,
                                    const std::optional<std::filesystem::path>& container);
    // A snapshot that says stopped, with the final counts, written at once.
    void writeFinalWidgetSnapshot() const;
    void selfTestPass(std::function<void()> done);
    void selfTestFinished(const EngineSelfTest::Verdict& verdict);
    void loadProofLog();
    void loadPersistedHistory();
    void applyLedgerSummary(const LedgerSummary& summary);
    static LedgerSummary summarizeLedger(const ProofOfMining& ledger);
    // Loads the slot's ledger on the ledger lane, unless it is loaded, and shows its figures.
    void loadLedgerSlot(std::shared_ptr<LedgerSlot> slot);
    // Says once what the ledger's loading found: a file set aside, one that cannot be read.
    void tellLedgerFiles(const LedgerSummary& summary);

    // Runs `work` on `pool`, then on the GUI thread `apply` with its result, or `failed` when it
    // threw; neither once the model is gone.
    template <typename Result>
    void offload(QThreadPool& pool, std::function<Result()> work, std::function<void(Result)> apply,
                 std::function<void()> failed = {});

    Preferences preferences_;
    SessionEnvironment environment_;
    std::unique_ptr<QThreadPool> pool_;
    // One thread each, so the governor gets its calls and the ledger its entries in the order
    // they were made.
    std::unique_ptr<QThreadPool> governorLane_;
    std::unique_ptr<QThreadPool> ledgerLane_;
    MinerNotifications* notifications_;
    SleepPreventionAssertion* sleepAssertion_;
    std::unique_ptr<UsagePulseReporter> usagePulse_;
    std::shared_ptr<CPUUsageProbe> cpuUsageProbe_;
    std::shared_ptr<SystemStateSource> systemState_;
    int performanceCores_ = 1;
    std::function<void()> reloadWidgets_;
    EventLogModel eventLog_;
    PeriodicTask* cpuUsageTask_ = nullptr;
    PeriodicTask* scheduleTask_ = nullptr;
    PeriodicTask* selfTestTask_ = nullptr;

    RunState runState_;
    std::shared_ptr<LedgerSlot> proofLog_;
    // Requested as the model ends: a ledger or history still being read stops at its next entry.
    std::stop_source readStop_;
    std::shared_ptr<CPUEngine> engine_;
    std::shared_ptr<SystemGovernor> governor_;
    std::shared_ptr<MiningHistoryStore> widgetHistory_;
    bool historyFiguresReading_ = false;
    bool historyFiguresWanted_ = false;
    // The history read at launch, then the one the last session recorded into: a session on its
    // file shares it, so that the file is read once a start.
    std::shared_ptr<MiningHistoryStore> historyStore_;
    // No snapshot is written before the history is read: it would say no block was ever found.
    bool persistedHistoryRead_ = false;

    // The widgets' wake key: what they show that is worth an immediate reload.
    struct WidgetWakeKey {
        bool isRunning = false;
        bool isPaused = false;
        std::optional<QString> appliedMode;
        std::int64_t blocksFound = 0;
        bool operator==(const WidgetWakeKey&) const = default;
    };
    std::optional<WidgetWakeKey> lastWidgetWakeKey_;
    std::unique_ptr<Derived> derived_;
    bool initialised_ = false;
    SessionDriver* session_ = nullptr;
};

}  // namespace corvanta
