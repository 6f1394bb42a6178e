// The tasks that live as long as the model, the first loads, and the records the session's work
// leaves behind: proof entries and the widgets' snapshot.
#include <unistd.h>

#include "Localization/Localization.h"
#include "Notifications/MinerNotifications.h"
#include "Session/LedgerStoryText.h"
#include "Session/PeriodicTask.h"
#include "Session/SessionDriver.h"
#include "Session/SessionModelInternals.h"
#include "Session/SessionRules.h"
#include "corvanta/ledger/LedgerStory.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {

struct MiningSessionModel::TickResult {
    std::optional<CPUUsageSample> usage;
    std::optional<ThermalState> thermal;
};

struct MiningSessionModel::WidgetPublication {
    MinerSnapshot snapshot;
    WidgetWakeKey key;
    // The total is the history's, not the earnings scan's.
    bool satsFromHistory = false;
};

namespace {

// The counts as the history holds them at the write: the model hears of a new record only after
// the session has stored it, and a snapshot must never say less than what is stored. The store is
// the one of the session's network, which the model's count may not be yet after a change. Until
// the store has read its file the snapshot keeps the model's counts.
void countWhatIsHeld(MinerSnapshot& snapshot, const MiningHistoryStore& history,
                     bool satsFromHistory) {
    const auto held = history.summary(0);
    if (!held.loaded) return;
    snapshot.blocksFound = std::int64_t(held.count);
    if (satsFromHistory) snapshot.totalSats = held.totalAcceptedRewardSats;
}

std::optional<MinerSnapshot> readWidgetSnapshot(
    const std::optional<std::filesystem::path>& container) {
    return container ? SharedContainer::read(*container) : SharedContainer::read();
}

std::filesystem::path historyFileFor(const SessionEnvironment& environment,
                                     BitcoinNetwork network) {
    return environment.historyFile ? environment.historyFile(network)
                                   : BinaryLocator::historyFileURL(network);
}

constexpr std::size_t recentProofEntryCount = 12;

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
    const bool fromEarnings = earnings_ && scanCoversConfiguredAddress();
    snapshot.totalSats = fromEarnings
                             ? earningsTotalSats(earnings_->matureSats, earnings_->immatureSats)
                             : persistedHistoryTotalSats_;
    snapshot.blocksFound = blocks;
    snapshot.capturedAt = ReferenceDate::from(at);
    snapshot.language = code(Localization::shared().language()).toStdString();
    snapshot.writerProcessID = std::int64_t(::getpid());
    snapshot.updateIntervalSeconds =
        std::chrono::duration<double>(environment_.timings.cpuUsageInterval).count();
    return {snapshot, {isRunning, isPaused, mode, blocks}, !fromEarnings};
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
    const WidgetPublication publication = publishWidgetSnapshot();
    MinerSnapshot last = publication.snapshot;
    last.isRunning = false;
    last.isPaused = false;
    last.hashRateMHs = 0;
    // With the session's last records, stored by now; without a session, the history as read at
    // launch. A quit that came before the history was read never waits to read it: the counts
    // stay those of the snapshot the widgets have, and without one none is written, which would
    // say that no block was ever found.
    const auto& history = widgetHistory_ ? widgetHistory_ : historyStore_;
    if (history && history->isLoaded()) {
        countWhatIsHeld(last, *history, publication.satsFromHistory);
    } else if (!persistedHistoryRead_) {
        const auto previous = readWidgetSnapshot(environment_.snapshotContainer);
        if (!previous) return;
        last.blocksFound = previous->blocksFound;
        if (publication.satsFromHistory) last.totalSats = previous->totalSats;
    }
    writeWidgetSnapshot(last, environment_.snapshotContainer);
}

void MiningSessionModel::cpuUsagePass(std::function<void()> done) {
    // The freshness rules follow the clock: this tick is when they are looked at again.
    refreshDerived();
    const WidgetPublication publication = publishWidgetSnapshot();
    const bool writes = persistedHistoryRead_ || widgetHistory_;
    auto work = [probe = cpuUsageProbe_, source = systemState_, snapshot = publication.snapshot,
                 container = environment_.snapshotContainer, writes, history = widgetHistory_,
                 satsFromHistory = publication.satsFromHistory]() mutable -> TickResult {
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
        // Until the history is read the widgets keep the last snapshot, which has the counts.
        if (!writes) return result;
        if (history) countWhatIsHeld(snapshot, *history, satsFromHistory);
        // The widgets lose at most this second's snapshot; the next one is written anyway.
        writeWidgetSnapshot(snapshot, container);
        return result;
    };
    offload<TickResult>(
        *pool_, std::move(work),
        [this, key = publication.key, writes, done](TickResult result) {
            assign(cpuUsage_, result.usage, &MiningSessionModel::cpuUsageChanged);
            if (result.thermal) {
                assign(thermalState_, *result.thermal, &MiningSessionModel::thermalStateChanged);
            }
            // Only now that the snapshot is on disk: a reload asked for earlier
            // would show the widgets the previous second's state.
            if (writes && lastWidgetWakeKey_ != key) {
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
    // The ledger read for the views is the one a session on this network goes on with: read
    // once, never again at the session's start.
    proofLog_ = std::make_shared<LedgerSlot>(LedgerSlot{file, nullptr});
    loadLedgerSlot(proofLog_);
}

void MiningSessionModel::loadPersistedHistory() {
    // Read once: a session on this network records into the same store, and says nothing of the
    // files that this reading has said already.
    historyStore_ = std::make_shared<MiningHistoryStore>(
        historyFileFor(environment_, selectedNetwork_), MiningHistoryStore::unread);
    using Loaded = std::pair<MiningHistoryStore::Summary, std::vector<std::string>>;
    auto work = [store = historyStore_, stop = readStop_.get_token()] {
        store->load(stop);  // Cancelled as the model ends: nothing to show
        return Loaded{store->summary(persistedHistoryKept), store->takeNotices()};
    };
    offload<Loaded>(
        *pool_, std::move(work),
        [this](Loaded loaded) {
            // A session's store holds at least as much: its figures are read again, now that
            // its own reading (this one, when it shares it) is done.
            if (widgetHistory_) {
                refreshHistoryFigures();
            } else {
                setPersistedHistoryTotalSats(loaded.first.totalAcceptedRewardSats);
                setPersistedHistory(std::move(loaded.first.newest), loaded.first.count);
            }
            for (const auto& notice : loaded.second) appendLog(QString::fromStdString(notice));
        },
        // Nothing better will come: the widgets are told what is known.
        [this] { persistedHistoryRead_ = true; });
}

// The proof ledger.

MiningSessionModel::LedgerSummary MiningSessionModel::summarizeLedger(const ProofOfMining& ledger) {
    auto summary = ledger.summary(recentProofEntryCount);
    const auto count = int(summary.verification.entriesChecked);
    return LedgerSummary{count,
                         std::move(summary.verification),
                         std::move(summary.recent),
                         ledger.fileURL(),
                         std::move(summary.journalRefusal),
                         std::move(summary.setAside),
                         ledger.unreadableReason()};
}

namespace {

QString setAsideKindName(const std::optional<ProofOfMining::SetAside>& aside, bool unreadable) {
    using Kind = ProofOfMining::SetAside::Kind;
    if (!aside) return unreadable ? QStringLiteral("unreadable") : QString();
    switch (aside->kind) {
        case Kind::ledger:
            return aside->withJournal ? QStringLiteral("ledgerAndJournal")
                                      : QStringLiteral("ledger");
        case Kind::journalRefused:
            return QStringLiteral("journalRefused");
        case Kind::journalUnread:
            break;
    }
    return QStringLiteral("journalUnread");
}

}  // namespace

void MiningSessionModel::applyLedgerSummary(const LedgerSummary& summary) {
    using Kind = ProofOfMining::SetAside::Kind;
    // The refused line stays the story once its journal went aside: none from it on is counted.
    std::size_t refused = 0;
    if (summary.journalRefusal) {
        refused = summary.journalRefusal->line;
    } else if (summary.setAside && summary.setAside->kind == Kind::journalRefused &&
               summary.setAside->refusal) {
        refused = summary.setAside->refusal->line;
    }
    assign(proofEntryCount_, summary.entryCount, &MiningSessionModel::proofEntryCountChanged);
    assign(proofVerification_, summary.verification, &MiningSessionModel::proofVerificationChanged);
    assign(recentProofEntries_, summary.recent, &MiningSessionModel::recentProofEntriesChanged);
    assign(proofLogFile_, QString::fromStdString(summary.file.string()),
           &MiningSessionModel::proofLogFileChanged);
    assign(proofJournalRefusedLine_, int(refused),
           &MiningSessionModel::proofJournalRefusedLineChanged);
    assign(proofSetAsideKind_, setAsideKindName(summary.setAside, summary.unreadable.has_value()),
           &MiningSessionModel::proofSetAsideKindChanged);
    assign(proofLogSetAside_,
           summary.setAside ? QString::fromStdString(summary.setAside->ledger.string()) : QString(),
           &MiningSessionModel::proofLogSetAsideChanged);
    // Nothing to show, and something there that was not read or taken: never an empty ledger's
    // words.
    assign(proofLogUnreadable_,
           summary.entryCount == 0 && (summary.setAside.has_value() || summary.unreadable ||
                                       summary.journalRefusal.has_value()),
           &MiningSessionModel::proofLogUnreadableChanged);
    tellLedgerFiles(summary);
}

void MiningSessionModel::tellLedgerFiles(const LedgerSummary& summary) {
    if (summary.unreadable && ledgerFilesTold_.insert(*summary.unreadable).second) {
        appendLog(QStringLiteral("Proof ledger unreadable: ") +
                  QString::fromStdString(*summary.unreadable) +
                  QStringLiteral(". It is left as it is; new entries are kept in memory until "
                                 "it can be read. ") +
                  QString::fromStdString(ledger::checkCommand(summary.file)) +
                  QStringLiteral(" checks it."));
    }
    if (summary.journalRefusal) {
        const auto line = ledger::refusedJournalLine(summary.file, *summary.journalRefusal);
        if (ledgerFilesTold_.insert(line).second) appendLog(QString::fromStdString(line));
    }
    if (!summary.setAside) return;
    const auto line = ledger::setAsideLine(*summary.setAside);
    if (!ledgerFilesTold_.insert(line).second) return;
    appendLog(QString::fromStdString(line));
    notifications_->send(
        QStringLiteral("ledger-set-aside"),
        Localization::shared().string(QStringLiteral("Registre de minage mis de c\u00f4t\u00e9")),
        ledgerStoryCaption(
            {proofSetAsideKind_, proofLogSetAside_, proofJournalRefusedLine_, proofLogFile_}));
}

void MiningSessionModel::loadLedgerSlot(std::shared_ptr<LedgerSlot> slot) {
    auto work = [slot, stop = readStop_.get_token()]() -> std::optional<LedgerSummary> {
        if (!slot->ledger) {
            try {
                slot->ledger = std::make_shared<ProofOfMining>(slot->file, stop);
            } catch (const Cancelled&) {
                return std::nullopt;  // the model is ending
            }
        }
        return summarizeLedger(*slot->ledger);
    };
    offload<std::optional<LedgerSummary>>(*ledgerLane_, std::move(work),
                                          [this, slot](std::optional<LedgerSummary> summary) {
                                              if (summary && slot == proofLog_)
                                                  applyLedgerSummary(*summary);
                                          });
}

void MiningSessionModel::useProofLog(std::shared_ptr<ProofOfMining> ledger) {
    lastProofHeight_.reset();
    hashesAtLastProof_ = 0;
    // Without one, the figures stay on show and the ledger, read once, stays for the next session.
    if (!ledger) return;
    const auto file = ledger->fileURL();
    proofLog_ = std::make_shared<LedgerSlot>(LedgerSlot{file, std::move(ledger)});
    loadLedgerSlot(proofLog_);
}

void MiningSessionModel::useProofLogFile(const std::filesystem::path& file) {
    lastProofHeight_.reset();
    hashesAtLastProof_ = 0;
    if (!proofLog_ || proofLog_->file != file) {
        proofLog_ = std::make_shared<LedgerSlot>(LedgerSlot{file, nullptr});
    }
    loadLedgerSlot(proofLog_);
}

void MiningSessionModel::useEngine(std::shared_ptr<CPUEngine> engine) {
    engine_ = std::move(engine);
}

void MiningSessionModel::useHistoryStore(std::shared_ptr<MiningHistoryStore> history) {
    if (!history) return;
    widgetHistory_ = history;
    historyStore_ = std::move(history);
    refreshHistoryFigures();
}

std::shared_ptr<MiningHistoryStore> MiningSessionModel::historyStoreFor(
    const std::filesystem::path& file) const {
    if (historyStore_ && historyStore_->fileURL() == file) return historyStore_;
    return std::make_shared<MiningHistoryStore>(file, MiningHistoryStore::unread);
}

void MiningSessionModel::recordProofEntry(std::int64_t height, const QString& blockHash) {
    if (runState_.kind != RunStateKind::mining || !proofLog_) return;
    if (lastProofHeight_ == height) return;
    lastProofHeight_ = height;
    // Split here, before any append runs, so two tips in quick succession share nothing.
    const std::uint64_t hashes = sessionHashes_ - hashesAtLastProof_;
    hashesAtLastProof_ = sessionHashes_;
    const auto bestAttempt = engine_ ? engine_->bestAttempt() : std::nullopt;
    auto work = [slot = proofLog_, height, hash = blockHash.toStdString(), hashes, bestAttempt,
                 at = now()]() -> std::optional<LedgerSummary> {
        // Its load ran before on this lane; cancelled, it left no ledger to append to.
        if (!slot->ledger) return std::nullopt;
        try {
            slot->ledger->append(height, hash, hashes, bestAttempt, at);
        } catch (const std::exception&) {
            // The entry stays in the ledger's memory and reaches the file with the next write.
        }
        return summarizeLedger(*slot->ledger);
    };
    offload<std::optional<LedgerSummary>>(
        *ledgerLane_, std::move(work),
        [this, slot = proofLog_](std::optional<LedgerSummary> summary) {
            if (summary && slot == proofLog_) applyLedgerSummary(*summary);
        });
}

}  // namespace corvanta
