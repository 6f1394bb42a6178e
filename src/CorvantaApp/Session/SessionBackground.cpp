// The tasks that live as long as the model, the first loads, and the records the session's work
// leaves behind: proof entries and the widgets' snapshot.
#include <unistd.h>

#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"
#include "Session/PeriodicTask.h"
#include "Session/SessionDriver.h"
#include "Session/SessionModelInternals.h"
#include "Session/SessionRules.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/shared/SharedContainer.h"

namespace corvanta {

struct MiningSessionModel::TickResult {
    std::optional<CPUUsageSample> usage;
    std::optional<ThermalState> thermal;
};

struct MiningSessionModel::WidgetPublication {
    MinerSnapshot snapshot;
    WidgetWakeKey key;
};

namespace {

constexpr std::size_t recentProofEntryCount = 12;

struct ProofLedgerLoad {
    std::vector<ProofEntry> entries;
    bool fileExists = false;
};

}  // namespace

// Once a second: CPU usage, heat and the widgets' snapshot.

void MiningSessionModel::startCPUUsageSampler() {
    cpuUsageTask_ = new PeriodicTask(
        environment_.timings.cpuUsageInterval,
        [this](PeriodicTask::Done done) { cpuUsagePass(std::move(done)); }, this);
    cpuUsageTask_->start();
}

MiningSessionModel::WidgetPublication MiningSessionModel::publishWidgetSnapshot() const {
    const SessionTime at = now();
    // Once the application is on its way out the miner is stopping for good: the widgets say so
    // at once, not when the node has finished its own shutdown.
    const bool leaving = session_ != nullptr && session_->terminating();
    const bool isRunning =
        !leaving && runState_.kind != RunStateKind::idle && runState_.kind != RunStateKind::failed;
    const bool isPaused = manuallyPaused_ || governorPaused_;
    std::optional<QString> mode;
    std::optional<std::string> modeName;
    if (const auto applied = corvanta::appliedPowerMode(effectiveWorkerCount_, performanceCores_)) {
        modeName = std::string(rawValue(*applied));
        mode = QString::fromStdString(*modeName);
    }
    const auto blocks = persistedHistoryCount_;

    MinerSnapshot snapshot;
    snapshot.hashRateMHs = currentHashRateMHs_;
    snapshot.isRunning = isRunning;
    snapshot.isPaused = isPaused;
    snapshot.appliedMode = modeName;
    if (const auto tip = confirmedNetworkTipTimestamp()) {
        snapshot.secondsSinceNetworkBlock = std::chrono::duration<double>(at - *tip).count();
    }
    snapshot.totalSats = earnings_ && scanCoversConfiguredAddress()
                             ? earningsTotalSats(earnings_->matureSats, earnings_->immatureSats)
                             : persistedHistoryTotalSats_;
    snapshot.blocksFound = blocks;
    snapshot.capturedAt = ReferenceDate::from(at);
    snapshot.language = code(Localization::shared().language()).toStdString();
    snapshot.writerProcessID = std::int64_t(::getpid());
    snapshot.updateIntervalSeconds =
        std::chrono::duration<double>(environment_.timings.cpuUsageInterval).count();
    return {snapshot, {isRunning, isPaused, mode, blocks}};
}

void MiningSessionModel::writeWidgetSnapshot(
    const MinerSnapshot& snapshot, const std::optional<std::filesystem::path>& container) {
    if (container) {
        SharedContainer::write(snapshot, *container);
    } else {
        SharedContainer::write(snapshot);
    }
}

void MiningSessionModel::writeFinalWidgetSnapshot() const {
    // The model's last act: whatever state it ends in, nothing mines any more.
    MinerSnapshot last = publishWidgetSnapshot().snapshot;
    last.isRunning = false;
    last.isPaused = false;
    last.hashRateMHs = 0;
    writeWidgetSnapshot(last, environment_.snapshotContainer);
}

void MiningSessionModel::cpuUsagePass(std::function<void()> done) {
    // The freshness rules follow the clock: this tick is when they are looked at again.
    refreshDerived();
    const WidgetPublication publication = publishWidgetSnapshot();
    auto work = [probe = cpuUsageProbe_, source = systemState_, snapshot = publication.snapshot,
                 container = environment_.snapshotContainer]() -> TickResult {
        TickResult result;
        try {
            result.usage = probe->sample();
        } catch (const std::exception&) {
            // No sample this second.
        }
        try {
            result.thermal = source->currentThermalState();
        } catch (const std::exception&) {
            // The previous reading stands.
        }
        // The widgets lose at most this second's snapshot; the next one is written anyway.
        writeWidgetSnapshot(snapshot, container);
        return result;
    };
    offload<TickResult>(
        *pool_, std::move(work),
        [this, key = publication.key, done](TickResult result) {
            assign(cpuUsage_, result.usage, &MiningSessionModel::cpuUsageChanged);
            if (result.thermal) {
                assign(thermalState_, *result.thermal, &MiningSessionModel::thermalStateChanged);
            }
            // Only now that the snapshot is on disk: a reload asked for earlier
            // would show the widgets the previous second's state.
            if (lastWidgetWakeKey_ != key) {
                lastWidgetWakeKey_ = key;
                if (reloadWidgets_) reloadWidgets_();
            }
            done();
        },
        done);
}

// The engine's self-test: at once, then every ten minutes, session or not.

void MiningSessionModel::startEngineSelfTest() {
    selfTestTask_ = new PeriodicTask(
        environment_.timings.selfTestInterval,
        [this](PeriodicTask::Done done) { selfTestPass(std::move(done)); }, this);
    selfTestTask_->start();
}

void MiningSessionModel::selfTestPass(std::function<void()> done) {
    auto work = [test = environment_.selfTest]() -> EngineSelfTest::Verdict {
        try {
            return test();
        } catch (const std::exception& error) {
            return EngineSelfTest::Failed{error.what()};
        }
    };
    offload<EngineSelfTest::Verdict>(
        *pool_, std::move(work),
        [this, done](EngineSelfTest::Verdict verdict) {
            selfTestFinished(verdict);
            done();
        },
        done);
}

void MiningSessionModel::selfTestFinished(const EngineSelfTest::Verdict& verdict) {
    assign(selfTestVerdict_, verdict, &MiningSessionModel::selfTestVerdictChanged);
    assign(selfTestCheckedAt_, now(), &MiningSessionModel::selfTestCheckedAtChanged);
    const auto* failed = std::get_if<EngineSelfTest::Failed>(&verdict);
    if (!failed) return;
    const QString reason = QString::fromStdString(failed->reason);
    // A running session keeps mining: the user is told, and decides.
    appendLog(QStringLiteral("ENGINE SELF-TEST FAILED \u2014 ") + reason);
    notifications_->send(
        QStringLiteral("critical-error"),
        Localization::shared().string(QStringLiteral("Erreur critique \u2014 Corvanta")),
        L(QStringLiteral("Le moteur de hachage ne produit plus les bons condensats (%@). Le minage "
                         "ne peut rien trouver dans cet \u00e9tat."),
          ModuleMessage::localized(reason)));
}

// The first loads, for the network selected at launch.

void MiningSessionModel::loadProofLog() {
    const auto file = environment_.proofLogFile ? environment_.proofLogFile(selectedNetwork_)
                                                : BinaryLocator::proofLogFileURL(selectedNetwork_);
    auto work = [file]() -> std::pair<LedgerSummary, bool> {
        const ProofLedgerLoad load{ProofOfMining::load(file), [&] {
                                       std::error_code error;
                                       return std::filesystem::exists(file, error);
                                   }()};
        return {summarizeLedger(load.entries), load.entries.empty() && load.fileExists};
    };
    offload<std::pair<LedgerSummary, bool>>(
        *pool_, std::move(work), [this](std::pair<LedgerSummary, bool> result) {
            applyLedgerSummary(result.first);
            if (!result.second) return;
            assign(proofLogUnreadable_, true, &MiningSessionModel::proofLogUnreadableChanged);
            appendLog(QStringLiteral(
                "Proof ledger present but unreadable \u2014 see the ledger screen."));
        });
}

void MiningSessionModel::loadPersistedHistory() {
    const auto file = environment_.historyFile ? environment_.historyFile(selectedNetwork_)
                                               : BinaryLocator::historyFileURL(selectedNetwork_);
    // Whichever store opens the files first sets aside what it cannot use, and says so.
    using Loaded = std::pair<MiningHistoryStore::Summary, std::vector<std::string>>;
    auto work = [file] {
        const MiningHistoryStore store(file);
        return Loaded{store.summary(persistedHistoryKept), store.setAsideNotices()};
    };
    offload<Loaded>(*pool_, std::move(work), [this](Loaded loaded) {
        setPersistedHistory(std::move(loaded.first.newest), loaded.first.count);
        setPersistedHistoryTotalSats(loaded.first.totalAcceptedRewardSats);
        for (const auto& notice : loaded.second) appendLog(QString::fromStdString(notice));
    });
}

// The proof ledger.

MiningSessionModel::LedgerSummary MiningSessionModel::summarizeLedger(
    const std::vector<ProofEntry>& entries) {
    const auto recentFrom = entries.size() > recentProofEntryCount
                                ? entries.end() - recentProofEntryCount
                                : entries.begin();
    return {int(entries.size()), ProofOfMining::verify(entries), {recentFrom, entries.end()}};
}

MiningSessionModel::LedgerSummary MiningSessionModel::summarizeLedger(const ProofOfMining& ledger) {
    auto summary = ledger.summary(recentProofEntryCount);
    const auto count = int(summary.verification.entriesChecked);
    return {count, std::move(summary.verification), std::move(summary.recent)};
}

void MiningSessionModel::applyLedgerSummary(const LedgerSummary& summary) {
    assign(proofEntryCount_, summary.entryCount, &MiningSessionModel::proofEntryCountChanged);
    assign(proofVerification_, summary.verification, &MiningSessionModel::proofVerificationChanged);
    assign(recentProofEntries_, summary.recent, &MiningSessionModel::recentProofEntriesChanged);
}

void MiningSessionModel::useProofLog(std::shared_ptr<ProofOfMining> ledger) {
    proofLog_ = std::move(ledger);
    lastProofHeight_.reset();
    hashesAtLastProof_ = 0;
    if (!proofLog_) return;
    if (const auto reason = proofLog_->unreadableReason()) {
        appendLog(QStringLiteral("Proof ledger unreadable: ") + QString::fromStdString(*reason) +
                  QStringLiteral(". It is left as it is; new entries are kept in memory until "
                                 "it can be read."));
    }
    offload<LedgerSummary>(
        *ledgerLane_, [ledger = proofLog_] { return summarizeLedger(*ledger); },
        [this](LedgerSummary summary) { applyLedgerSummary(summary); });
}

void MiningSessionModel::useEngine(std::shared_ptr<CPUEngine> engine) {
    engine_ = std::move(engine);
}

void MiningSessionModel::recordProofEntry(std::int64_t height, const QString& blockHash) {
    if (runState_.kind != RunStateKind::mining || !proofLog_) return;
    if (lastProofHeight_ == height) return;
    lastProofHeight_ = height;
    // Split here, before any append runs, so two tips in quick succession share nothing.
    const std::uint64_t hashes = sessionHashes_ - hashesAtLastProof_;
    hashesAtLastProof_ = sessionHashes_;
    const auto bestAttempt = engine_ ? engine_->bestAttempt() : std::nullopt;
    auto work = [ledger = proofLog_, height, hash = blockHash.toStdString(), hashes, bestAttempt,
                 at = now()] {
        try {
            ledger->append(height, hash, hashes, bestAttempt, at);
        } catch (const std::exception&) {
            // The entry stays in the ledger's memory and reaches the file with the next write.
        }
        return summarizeLedger(*ledger);
    };
    offload<LedgerSummary>(*ledgerLane_, std::move(work),
                           [this](LedgerSummary summary) { applyLedgerSummary(summary); });
}

}  // namespace corvanta
