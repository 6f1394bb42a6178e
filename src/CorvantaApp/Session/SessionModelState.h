#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Session/SessionRecords.h"
#include "corvanta/mining/EngineSelfTest.h"
// Qt's "slots" keyword would rename the schedule's accessor of the same name.
#pragma push_macro("slots")
#undef slots
#include "corvanta/mining/MiningSchedule.h"
#pragma pop_macro("slots")
#include "corvanta/mining/PowerMode.h"
#include "corvanta/mining/SystemState.h"
#include "corvanta/node/BitcoinNetwork.h"
#include "corvanta/node/StorageTarget.h"

namespace corvanta {

// The values the session model stores, and their plain readers. The model alone writes them,
// through setters that notify the views; what it derives from them is computed in the model.
class SessionModelState {
  public:
    // Settings.
    BitcoinNetwork selectedNetwork() const { return selectedNetwork_; }
    const QString& payoutAddressInput() const { return payoutAddressInput_; }
    PowerMode powerMode() const { return powerMode_; }
    std::optional<int> advancedWorkerCount() const { return advancedWorkerCount_; }
    bool allowMiningOnBattery() const { return allowMiningOnBattery_; }
    bool preventIdleSleepEnabled() const { return preventIdleSleepEnabled_; }
    bool usageStatisticsEnabled() const { return usageStatisticsEnabled_; }
    StorageTarget storageTarget() const { return storageTarget_; }
    int storageTargetGiB() const { return rawValue(storageTarget_); }
    // The settings file, when changes cannot be saved to it (or it could not be read); empty
    // when they can.
    QString settingsUnsavedFile() const { return settingsUnsavedFile_; }

    // Schedule and pause.
    bool manuallyPaused() const { return manuallyPaused_; }
    bool governorPaused() const { return governorPaused_; }
    const QString& governorPauseReason() const { return governorPauseReason_; }
    bool scheduleEnabled() const { return scheduleEnabled_; }
    const MiningSchedule& schedule() const { return schedule_; }
    int currentScheduleSlot() const { return currentScheduleSlot_; }
    std::optional<SessionTime> scheduleOverrideUntil() const { return scheduleOverrideUntil_; }
    QVariant scheduleOverrideUntilValue() const { return toVariant(scheduleOverrideUntil_); }

    // Session.
    std::optional<BitcoinNetwork> activeNetwork() const { return activeNetwork_; }
    const std::optional<PayoutResolution>& activePayout() const { return activePayout_; }
    QVariant activePayoutValue() const { return toVariant(activePayout_); }
    QVariant miningStartedAtValue() const { return toVariant(miningStartedAt_); }
    QVariant sessionStartHeightValue() const { return toVariant(sessionStartHeight_); }

    // Node and chain.
    const std::optional<ChainStatus>& chainStatus() const { return chainStatus_; }
    QVariant chainStatusValue() const { return toVariant(chainStatus_); }
    QVariant chainStatusUpdatedAtValue() const { return toVariant(chainStatusUpdatedAt_); }
    QVariant peerCountValue() const { return toVariant(peerCount_); }
    QVariant noPeersSinceValue() const { return toVariant(noPeersSince_); }
    const QString& diskFullAlert() const { return diskFullAlert_; }
    QVariant coreVersionValue() const { return toVariant(coreVersion_); }
    QVariant networkTipTimestampValue() const { return toVariant(networkTipTimestamp_); }
    QVariant networkTipObservedAtValue() const { return toVariant(networkTipObservedAt_); }
    QVariant networkHashesPerSecondValue() const { return toVariant(networkHashesPerSecond_); }

    // Work.
    QVariant templateHeightValue() const { return toVariant(templateHeight_); }
    QVariant templateTransactionCountValue() const { return toVariant(templateTransactionCount_); }
    QVariant templateBitsValue() const { return toVariant(templateBits_); }
    quint64 currentExtranonce() const { return currentExtranonce_; }
    QString currentExtranonceText() const { return QString::number(currentExtranonce_); }
    int templatesReceived() const { return templatesReceived_; }
    int templatesAbandoned() const { return templatesAbandoned_; }
    int extranonceRotations() const { return extranonceRotations_; }
    QVariant candidateValidationValue() const { return toVariant(candidateValidation_); }

    // Hashing.
    quint64 sessionHashes() const { return sessionHashes_; }
    QString sessionHashesText() const { return QString::number(sessionHashes_); }
    quint64 lifetimeHashes() const { return lifetimeHashes_; }
    QString lifetimeHashesText() const { return QString::number(lifetimeHashes_); }
    double currentHashRateMHs() const { return currentHashRateMHs_; }
    QVariantList hashRateHistoryValue() const { return toVariantList(hashRateHistory_); }
    std::optional<int> effectiveWorkerCount() const { return effectiveWorkerCount_; }
    QVariant effectiveWorkerCountValue() const { return toVariant(effectiveWorkerCount_); }
    QVariant bestDifficultySessionValue() const { return toVariant(bestDifficultySession_); }
    QVariant bestDifficultyAllTimeValue() const { return toVariant(bestDifficultyAllTime_); }
    QVariant bestDifficultyNetworkValue() const { return toVariant(bestDifficultyNetwork_); }

    // Results.
    QVariantList blocksFoundValue() const { return toVariantList(blocksFound_); }
    QVariant blockFoundPresentationValue() const { return toVariant(blockFoundPresentation_); }
    // The history's newest records only: the whole history stays in its store, whatever its
    // length.
    static constexpr std::size_t persistedHistoryKept = 100;
    const std::vector<FoundBlock>& persistedHistory() const { return persistedHistory_; }
    qint64 persistedHistoryCount() const { return persistedHistoryCount_; }
    QVariantList persistedHistoryValue() const { return toVariantList(persistedHistory_); }
    qint64 persistedHistoryTotalSats() const { return persistedHistoryTotalSats_; }
    const std::optional<EarningsSnapshot>& earnings() const { return earnings_; }
    QVariant earningsValue() const { return toVariant(earnings_); }
    QVariant earningsScanStateValue() const {
        return QVariant::fromValue(view(earningsScanState_));
    }

    // Proof ledger.
    int proofEntryCount() const { return proofEntryCount_; }
    QVariant proofVerificationValue() const { return toVariant(proofVerification_); }
    const std::vector<ProofEntry>& recentProofEntries() const { return recentProofEntries_; }
    QVariantList recentProofEntriesValue() const { return toVariantList(recentProofEntries_); }
    bool proofLogUnreadable() const { return proofLogUnreadable_; }
    QString proofLogSetAside() const { return proofLogSetAside_; }
    int proofJournalRefusedLine() const { return proofJournalRefusedLine_; }
    QString proofSetAsideKind() const { return proofSetAsideKind_; }
    QString proofLogFile() const { return proofLogFile_; }

    // Health.
    const std::optional<EngineSelfTest::Verdict>& selfTestVerdict() const {
        return selfTestVerdict_;
    }
    QVariant selfTestVerdictValue() const { return toVariant(selfTestVerdict_); }
    QVariant selfTestCheckedAtValue() const { return toVariant(selfTestCheckedAt_); }
    const std::optional<CPUUsageSample>& cpuUsage() const { return cpuUsage_; }
    QVariant cpuUsageValue() const { return toVariant(cpuUsage_); }
    ThermalState thermalState() const { return thermalState_; }

  protected:
    BitcoinNetwork selectedNetwork_ = BitcoinNetwork::mainnet;
    QString payoutAddressInput_;
    PowerMode powerMode_ = PowerMode::balanced;
    std::optional<int> advancedWorkerCount_;
    bool allowMiningOnBattery_ = false;
    bool preventIdleSleepEnabled_ = false;
    bool usageStatisticsEnabled_ = true;
    StorageTarget storageTarget_ = StorageTarget::gib15;
    QString settingsUnsavedFile_;
    std::optional<QString> settingsFileNotice_;

    bool manuallyPaused_ = false;
    bool governorPaused_ = false;
    QString governorPauseReason_;
    bool scheduleEnabled_ = false;
    MiningSchedule schedule_{ScheduledMode::balanced};
    int currentScheduleSlot_ = 0;
    std::optional<SessionTime> scheduleOverrideUntil_;
    std::optional<ScheduledMode> lastAppliedScheduleMode_;

    std::optional<BitcoinNetwork> activeNetwork_;
    std::optional<PayoutResolution> activePayout_;
    std::optional<SessionTime> miningStartedAt_;
    std::optional<std::int64_t> sessionStartHeight_;

    std::optional<ChainStatus> chainStatus_;
    std::optional<SessionTime> chainStatusUpdatedAt_;
    std::optional<int> peerCount_;
    std::optional<SessionTime> noPeersSince_;
    std::optional<std::filesystem::path> diskFullFolder_;
    QString diskFullAlert_;
    std::optional<QString> coreVersion_;
    std::optional<SessionTime> networkTipTimestamp_;
    std::optional<SessionTime> networkTipObservedAt_;
    std::optional<double> networkHashesPerSecond_;

    std::optional<std::int64_t> templateHeight_;
    std::optional<std::int64_t> templateTransactionCount_;
    std::optional<std::uint32_t> templateBits_;
    std::uint64_t currentExtranonce_ = 0;
    int templatesReceived_ = 0;
    int templatesAbandoned_ = 0;
    int extranonceRotations_ = 0;
    std::vector<double> workLoadLatencies_;
    std::optional<CandidateValidation> candidateValidation_;

    std::uint64_t sessionHashes_ = 0;
    std::uint64_t lifetimeHashes_ = 0;
    std::optional<SessionTime> lastLifetimePersist_;  // none: the distant past
    double currentHashRateMHs_ = 0;
    std::vector<HashRateSample> hashRateHistory_;
    std::optional<int> effectiveWorkerCount_;
    std::optional<double> bestDifficultySession_;
    std::optional<double> bestDifficultyAllTime_;
    std::optional<double> bestDifficultyNetwork_;

    std::vector<FoundBlockRecord> blocksFound_;
    std::optional<BlockFoundPresentation> blockFoundPresentation_;
    std::vector<FoundBlock> persistedHistory_;
    std::int64_t persistedHistoryCount_ = 0;
    std::int64_t persistedHistoryTotalSats_ = 0;
    std::optional<EarningsSnapshot> earnings_;
    EarningsScanStateValue earningsScanState_ = EarningsScanState::NeverScanned{};

    std::optional<std::int64_t> lastProofHeight_;
    std::uint64_t hashesAtLastProof_ = 0;
    int proofEntryCount_ = 0;
    std::optional<ProofVerification> proofVerification_;
    std::vector<ProofEntry> recentProofEntries_;
    bool proofLogUnreadable_ = false;
    QString proofLogSetAside_;
    int proofJournalRefusedLine_ = 0;
    QString proofSetAsideKind_;
    QString proofLogFile_;
    std::set<std::string> ledgerFilesTold_;

    std::optional<EngineSelfTest::Verdict> selfTestVerdict_;
    std::optional<SessionTime> selfTestCheckedAt_;
    std::optional<CPUUsageSample> cpuUsage_;
    ThermalState thermalState_ = ThermalState::nominal;
};

}  // namespace corvanta
