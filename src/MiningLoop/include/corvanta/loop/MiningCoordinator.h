#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "corvanta/assembly/BlockMiner.h"
#include "corvanta/loop/BestDifficultyTracker.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/InstallationRecord.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/loop/MiningEvent.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/MiningLoopTimings.h"

namespace corvanta {

namespace loop {
class LongPollGuard;
class PendingBlocks;
}  // namespace loop

// Mines continuously on the node's current template: each job races a hashing side (full nonce
// sweeps, one extranonce after another, with a slow header-time roll) against a wait for a changed
// template. Found blocks are kept as pending files, submitted, recorded and, when refused, kept
// as rejected-block files. Every failure but a stop, or a signet whose blocks need a signature,
// becomes a `recovering` event and a retry; a dead node is restarted with backoff. Progress leaves
// only through the event callback.
//
// Only this installation's blocks are ever recorded (`ownership`: the payout script and the mark
// its coinbases carry, which the watcher's payout plan must write). Once a run, beside the mining
// and never before the first template, the chain below the first job is walked for blocks of ours
// that the history lacks, whatever address they paid. How far it has been checked is kept in
// `walkRecordFile` (none: not kept, so each run walks from the floor); the place moves on only
// once the walk has got there and every block found is on disk. The lowest height mined at, and
// the floor no block of ours lies below, are kept in `installation` (none: unknown, so each walk
// starts at the chain's first block): the first job's height before it is hashed, the floor once
// a walk from the chain's first block has ended.
class MiningCoordinator {
  public:
    MiningCoordinator(std::shared_ptr<TemplateSource> watcher, std::shared_ptr<HashEngine> engine,
                      std::shared_ptr<const RPCClient> client,
                      std::shared_ptr<NodeSupervising> nodeSupervisor, int nodeRestartAttemptLimit,
                      std::chrono::milliseconds nodeRestartInitialBackoff,
                      std::filesystem::path rejectedBlockDirectory,
                      BestDifficultyStore bestDifficultyStore,
                      std::shared_ptr<MiningHistoryStore> historyStore, BlockOwnership ownership,
                      std::filesystem::path walkRecordFile = {}, MiningLoopTimings timings = {},
                      std::shared_ptr<InstallationRecord> installation = {});
    // Stops a running loop and waits for the background validations to end.
    ~MiningCoordinator();

    MiningCoordinator(const MiningCoordinator&) = delete;
    MiningCoordinator& operator=(const MiningCoordinator&) = delete;

    // Runs the loop on the calling thread until it ends, by throwing: Cancelled after stop(),
    // NodeAbandonedError, an error of the node supervisor's watch, or BlockAssemblyError's
    // SignetNeedsSignature from a template of a chain whose blocks it cannot make (never hashed,
    // and with no `recovering` event for it). `onEvent` is called from several threads, possibly
    // at once. A second run while one is running is refused with std::logic_error; a stop() that
    // came before run() ends that run at once.
    void run(MiningEventHandler onEvent);

    // Asks the running loop to end and returns without waiting for it.
    void stop();

    const std::shared_ptr<MiningHistoryStore>& historyStore() const { return historyStore_; }

    // Writes what failed writes left in memory only: the history's records, then the pending
    // blocks it does not hold yet. True once nothing is held in memory only. Never throws; safe
    // beside a running loop.
    bool saveHeldInMemory();

  private:
    struct Run;

    void mineWithNodeWatch(Run& run);
    void miningLoop(Run& run, std::stop_token stop);
    void startWalk(Run& run, const MiningJob& firstJob);
    // Where the walk starts: the place read from the file at the first call (a file it cannot
    // take is set aside and told through `onEvent`), and the installation's floor.
    HistoryReconciliation::WalkStart walkStart(const MiningEventHandler& onEvent);
    // Moves the place to `tip`, if every block found is on disk.
    void noteWalkedThrough(const MiningJob& tip);

    const std::shared_ptr<TemplateSource> watcher_;
    const BlockMiner blockMiner_;
    const std::shared_ptr<const RPCClient> client_;
    const std::shared_ptr<NodeSupervising> nodeSupervisor_;
    const int nodeRestartAttemptLimit_;
    const std::chrono::milliseconds nodeRestartInitialBackoff_;
    const std::filesystem::path rejectedBlockDirectory_;
    BestDifficultyTracker bestDifficultyTracker_;
    const std::shared_ptr<MiningHistoryStore> historyStore_;
    const BlockOwnership ownership_;
    const std::filesystem::path walkRecordFile_;
    const std::shared_ptr<InstallationRecord> installation_;
    const MiningLoopTimings timings_;
    // Both outlive a run: a found block whose file could not be written must survive a stop, and
    // a long-poll given up at a stop stays with the node until its tip changes, so the next run on
    // that tip must not give up another. The guard is reset only for a new node process.
    const std::unique_ptr<loop::PendingBlocks> pending_;
    const std::unique_ptr<loop::LongPollGuard> longPolls_;

    std::mutex mutex_;
    std::mutex walkRecordMutex_;  // one writer of the walk record at a time, in order
    bool walkPlaceRead_ = false;
    // What the walk record holds, once read; then kept here, as each write replaces it whole.
    std::optional<HistoryReconciliation::WalkedThrough> walkPlace_;
    bool mayWriteWalkRecord_ = true;  // false: a file it could neither read nor set aside
    bool running_ = false;
    bool stopRequestedBeforeRun_ = false;
    std::stop_source runStop_;
};

}  // namespace corvanta
