#include "corvanta/loop/MiningCoordinator.h"

#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "BackgroundTasks.h"
#include "DisplayHex.h"
#include "JobRace.h"
#include "StoreNotices.h"
#include "corvanta/loop/LoopRoutines.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/Race.h"

namespace corvanta {
namespace {

using namespace mining_event;

// Thrown by the node watch when the node ends on its own.
struct NodeDeathDetected {
    std::int32_t exitCode;
};

struct Nothing {};

}  // namespace

// State that lives only while run() runs.
struct MiningCoordinator::Run {
    Run(MiningEventHandler handler, std::shared_ptr<const RPCClient> firstClient)
        : onEvent(std::move(handler)), client(std::move(firstClient)) {}

    MiningEventHandler onEvent;
    // The candidate checks of this run's jobs: stopped and joined as the run ends, so that none
    // of their verdicts reaches a handler whose owner has moved on.
    loop::BackgroundTasks validations;
    std::shared_ptr<const RPCClient> client;
    bool reconciled = false;  // the history with the chain, once a run
    std::atomic<bool> walkComplete = false;
    std::optional<MiningJob> lastJob;  // the newest job the loop took, of the loop's thread
    std::jthread walk;                 // last: stopped and joined first when the run ends
};

MiningCoordinator::MiningCoordinator(
    std::shared_ptr<TemplateSource> watcher, std::shared_ptr<HashEngine> engine,
    std::shared_ptr<const RPCClient> client, std::shared_ptr<NodeSupervising> nodeSupervisor,
    int nodeRestartAttemptLimit, std::chrono::milliseconds nodeRestartInitialBackoff,
    std::filesystem::path rejectedBlockDirectory, BestDifficultyStore bestDifficultyStore,
    std::shared_ptr<MiningHistoryStore> historyStore, BlockOwnership ownership,
    std::filesystem::path walkRecordFile, MiningLoopTimings timings,
    std::shared_ptr<InstallationRecord> installation)
    : watcher_(std::move(watcher)),
      blockMiner_(std::move(engine)),
      client_(std::move(client)),
      nodeSupervisor_(std::move(nodeSupervisor)),
      nodeRestartAttemptLimit_(nodeRestartAttemptLimit),
      nodeRestartInitialBackoff_(nodeRestartInitialBackoff),
      rejectedBlockDirectory_(std::move(rejectedBlockDirectory)),
      bestDifficultyTracker_(std::move(bestDifficultyStore)),
      historyStore_(std::move(historyStore)),
      ownership_(std::move(ownership)),
      walkRecordFile_(std::move(walkRecordFile)),
      installation_(std::move(installation)),
      timings_(timings),
      pending_(std::make_unique<loop::PendingBlocks>(rejectedBlockDirectory_ / "pending")),
      longPolls_(std::make_unique<loop::LongPollGuard>()) {}

MiningCoordinator::~MiningCoordinator() {
    stop();
}

void MiningCoordinator::stop() {
    std::lock_guard lock(mutex_);
    if (running_) {
        runStop_.request_stop();
    } else {
        stopRequestedBeforeRun_ = true;
    }
}

void MiningCoordinator::run(MiningEventHandler onEvent) {
    {
        std::lock_guard lock(mutex_);
        if (running_) throw std::logic_error("the mining loop is already running");
        if (stopRequestedBeforeRun_) {
            stopRequestedBeforeRun_ = false;
            throw Cancelled();
        }
        running_ = true;
        runStop_ = std::stop_source();
    }
    struct EndOfRun {
        MiningCoordinator& coordinator;
        ~EndOfRun() {
            std::lock_guard lock(coordinator.mutex_);
            coordinator.running_ = false;
        }
    } endOfRun{*this};

    Run run{loop::sayingStoreNoticesOnce(std::move(onEvent)), client_};
    // However the run ends: the walk stops with it, and the record of how far the chain was
    // checked follows the last tip mined on when the walk got there.
    struct EndOfWalk {
        MiningCoordinator& coordinator;
        Run& run;
        ~EndOfWalk() {
            if (run.walk.joinable()) {
                run.walk.request_stop();
                run.walk.join();
            }
            if (run.walkComplete && run.lastJob) coordinator.noteWalkedThrough(*run.lastJob);
        }
    } endOfWalk{*this, run};
    if (!nodeSupervisor_) {
        miningLoop(run, runStop_.get_token());
        return;
    }
    mineWithNodeWatch(run);
}

void MiningCoordinator::startWalk(Run& run, const MiningJob& firstJob) {
    run.walk =
        std::jthread([this, &run, client = run.client, tip = firstJob](std::stop_token stop) {
            try {
                // Read here, not before mining: a long history costs the loop no time.
                historyStore_->load(stop);
                loop::reportHistoryFiles(*historyStore_, run.onEvent);
                const auto start = walkStart(run.onEvent);
                const auto walk = HistoryReconciliation::reconcile(
                    *historyStore_, *client, ownership_, start, tip.height - 1,
                    timings_.reconciliationCallTimeoutSeconds, stop);
                loop::reportWalk(walk, run.onEvent);
                if (!walk.complete) return;
                // Checked from the lowest block the node holds: nothing of ours lies lower. A
                // walk that began anywhere higher says nothing of what lies below it.
                if (installation_ && walk.fromLowestHeld) {
                    installation_->noteFloor(
                        std::min(walk.lowestOurs.value_or(tip.height), tip.height));
                }
                run.walkComplete = true;
                noteWalkedThrough(tip);
            } catch (const std::exception&) {
                // Stopped: the next run walks again from the record as it stands.
            }
        });
}

HistoryReconciliation::WalkStart MiningCoordinator::walkStart(const MiningEventHandler& onEvent) {
    HistoryReconciliation::WalkStart start;
    if (installation_) start.floor = installation_->mined().floor;
    if (walkRecordFile_.empty()) return start;
    std::lock_guard lock(walkRecordMutex_);
    if (!walkPlaceRead_) {
        walkPlaceRead_ = true;
        auto reading = HistoryReconciliation::readWalkPlace(walkRecordFile_);
        if (reading.problem) onEvent(loop::walkRecordProblem(walkRecordFile_, reading));
        walkPlace_ = std::move(reading.place);
        mayWriteWalkRecord_ = reading.mayWrite;
    }
    start.place = walkPlace_;
    return start;
}

bool MiningCoordinator::saveHeldInMemory() {
    try {
        historyStore_->saveIfUnsaved();
    } catch (const std::exception&) {
        return false;  // still no room, or a file it may not write over: nothing more to try
    }
    loop::removeRecordedPendingBlocks(*pending_, *historyStore_);
    pending_->writeUnsaved();
    return historyStore_->isSaved() && !pending_->holdsUnsaved();
}

void MiningCoordinator::noteWalkedThrough(const MiningJob& tip) {
    if (walkRecordFile_.empty() || tip.height < 1) return;
    // A block found but held in memory only would be skipped by the next walk.
    if (!historyStore_->isSaved() || pending_->holdsUnsaved()) return;
    std::lock_guard lock(walkRecordMutex_);
    if (!walkPlaceRead_ || !mayWriteWalkRecord_) return;  // the walk never read where it stood
    const auto height = tip.height - 1;
    const auto held = historyStore_->heldAtOrBelow(height);
    walkPlace_ = HistoryReconciliation::WalkedThrough{
        height, loop::displayHex(tip.previousBlockHash), static_cast<std::int64_t>(held.count),
        HistoryReconciliation::digestHex(held)};
    try {
        HistoryReconciliation::writeWalkPlace(walkRecordFile_, *walkPlace_);
    } catch (const std::exception&) {
        // The file stays as it was: the next walk covers more, never less.
    }
}

void MiningCoordinator::mineWithNodeWatch(Run& run) {
    const auto stop = runStop_.get_token();
    while (true) {
        auto result = race<Nothing>(
            stop,
            [&](std::stop_token token) {
                miningLoop(run, token);
                return Nothing{};
            },
            [&](std::stop_token token) -> Nothing {
                throw NodeDeathDetected{nodeSupervisor_->waitForUnexpectedTermination(token)};
            });
        auto& first = result.winner();
        if (!first.failed()) return;
        try {
            std::rethrow_exception(first.error);
        } catch (const NodeDeathDetected& death) {
            run.onEvent(NodeDied{death.exitCode});
        }
        run.client =
            loop::restartNodeWithBackoff(*nodeSupervisor_, nodeRestartAttemptLimit_,
                                         nodeRestartInitialBackoff_, timings_, run.onEvent, stop);
        watcher_->adopt(run.client);
        longPolls_->forgetAll();  // a new node process holds none of the old requests
    }
}

void MiningCoordinator::miningLoop(Run& run, std::stop_token stop) {
    const auto& onEvent = run.onEvent;
    // A failure other than one that ends the run becomes a `recovering` event and a fresh job.
    auto recover = [&](std::exception_ptr error) {
        if (loop::endsTheRun(error)) std::rethrow_exception(error);
        return loop::recoverAfterFailure(loop::describe(error), *watcher_, timings_, onEvent, stop);
    };
    auto resubmitPending = [&] {
        loop::resubmitPendingBlocks(*pending_, rejectedBlockDirectory_, *run.client, *historyStore_,
                                    ownership_, onEvent, stop);
    };

    // Before the first template: a block the node accepts here moves the tip, and a job taken
    // earlier would be built on the old one.
    resubmitPending();
    std::optional<MiningJob> job;
    try {
        job = watcher_->current(stop);
    } catch (...) {
        job = recover(std::current_exception());
    }
    std::uint64_t startingExtranonce = 0;
    if (!run.reconciled) {
        run.reconciled = true;
        // Kept before the first hash: a history lost later cannot hide how deep this goes.
        if (installation_) installation_->noteMiningAt(ownership_.mark, job->height);
        startWalk(run, *job);
    }

    while (true) {
        run.lastJob = job;
        const auto receivedAt = std::chrono::steady_clock::now();
        onEvent(TemplateReceived{job->height});
        loop::validateCandidateInBackground(run.validations, *job, run.client,
                                            timings_.proposalTimeoutSeconds, onEvent);
        throwIfStopRequested(stop);

        loop::JobRaceWinner winner;
        try {
            const loop::JobRace jobRace{*job,        *watcher_, blockMiner_, bestDifficultyTracker_,
                                        *longPolls_, timings_,  onEvent};
            winner = jobRace.run(startingExtranonce, receivedAt, stop);
        } catch (...) {
            job = recover(std::current_exception());
            resubmitPending();
            startingExtranonce = 0;
            continue;
        }

        if (auto* changed = std::get_if<loop::NewTemplate>(&winner)) {
            onEvent(WorkAbandoned{"new template received (height " +
                                  std::to_string(changed->job.height) + ")"});
            job = std::move(changed->job);
            startingExtranonce = 0;
            continue;
        }

        const auto& found = std::get<loop::RaceBlockFound>(winner);
        const auto& outcome = found.outcome;
        const std::vector<std::uint8_t> blockHash(outcome.blockHash.begin(),
                                                  outcome.blockHash.end());
        // Announced once: a block the history already holds was announced when it was recorded.
        if (!historyStore_->contains(blockHash)) {
            onEvent(BlockFound{job->height, blockHash, outcome.rewardSats});
        }
        const auto pendingBlock = PendingBlock::fromOutcome(outcome, job->height, WallClock::now());
        if (const auto failed = pending_->add(pendingBlock)) {
            onEvent(loop::writeProblem(pending_->directory(), *failed, "found blocks"));
        }

        SubmissionResult result;
        try {
            result = loop::submitWithRetries(outcome, *run.client, timings_, onEvent, stop);
        } catch (...) {
            // The block stays pending (on disk or in memory) and is resubmitted after recovery.
            job = recover(std::current_exception());
            resubmitPending();
            startingExtranonce = 0;
            continue;
        }
        // The pending file goes only once the history holds the block on disk: a crash or a
        // failed save in between leaves it for the next start, and the history, keyed by block
        // hash, does not count it twice.
        try {
            historyStore_->recordSubmission(
                job->height, blockHash,
                std::vector<std::uint8_t>(outcome.coinbaseTxid.begin(), outcome.coinbaseTxid.end()),
                outcome.rewardSats, result, pendingBlock.foundAt);
            pending_->remove(pendingBlock);
            loop::removeRecordedPendingBlocks(*pending_, *historyStore_);
        } catch (const FileWriteError& error) {
            onEvent(
                loop::writeProblem(historyStore_->fileURL().parent_path(), error, "found blocks"));
        } catch (const std::exception&) {
        }
        onEvent(SubmissionResultEvent{job->height, blockHash, result});

        std::uint64_t nextExtranonce = 0;
        if (const auto* rejected = std::get_if<SubmissionResult::Rejected>(&result.value)) {
            nextExtranonce = found.extranonce + 1;
            try {
                recordRejectedBlock(BitcoinEncoding::hexString(outcome.serializedBlock),
                                    job->height, rejected->reason, std::to_string(outcome.nonce),
                                    rejectedBlockDirectory_);
            } catch (const std::exception& error) {
                onEvent(Recovering{std::string("rejected block could not be written: ") +
                                   error.what()});
            }
        }
        try {
            job = watcher_->current(stop);
        } catch (...) {
            job = recover(std::current_exception());
        }
        startingExtranonce = nextExtranonce;
    }
}

}  // namespace corvanta
