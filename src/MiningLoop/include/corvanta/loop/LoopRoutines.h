#pragma once

// The routines through which the mining loop survives failure. Exposed for the coordinator and
// for tests; nothing else calls them.

#include <filesystem>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/loop/MiningEvent.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/MiningLoopTimings.h"
#include "corvanta/loop/PendingBlockStore.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta::loop {

// True for the errors the loop never recovers from: a stop (corvanta::Cancelled), and a chain
// whose blocks need a signature this system cannot make (BlockAssemblyError's
// SignetNeedsSignature), which every later template would say again.
bool endsTheRun(std::exception_ptr error);
// The error's own text ("unknown error" when it carries none).
std::string describe(std::exception_ptr error);

// Submits with up to `attempts` tries, pausing attempt × retry step between them. The node's own
// error objects (RPCError) and a stop end it at once; other failures are reported as
// `recovering` and retried, the last one thrown.
SubmissionResult submitWithRetries(const MiningOutcome& outcome, const RPCClient& client,
                                   const MiningLoopTimings& timings,
                                   const MiningEventHandler& onEvent, std::stop_token stop);

// Reports `reason`, then asks for a fresh job until one comes, backing off 1, 2, 4, 8, 10, 10 ...
// seconds. Throws only what ends the run (see endsTheRun).
MiningJob recoverAfterFailure(const std::string& reason, TemplateSource& watcher,
                              const MiningLoopTimings& timings, const MiningEventHandler& onEvent,
                              std::stop_token stop);

// Found blocks whose verdict is not yet on disk in the history: the pending files and those that
// could not be written to disk (kept in memory so they are not lost). The folder is read once, at
// the first use; after that only the files this object writes are known, so what else lies in the
// folder costs nothing while mining.
class PendingBlocks {
  public:
    explicit PendingBlocks(std::filesystem::path directory);
    const std::filesystem::path& directory() const { return directory_; }

    // Writes the block's file; when that fails, keeps it in memory instead and returns why. The
    // loop adds a block once it has announced it, so that a resubmission does not announce it
    // again.
    std::optional<FileWriteError> add(const PendingBlock& block);
    bool wasAnnounced(const PendingBlock& block) const;
    // Forgets the block once the history holds its verdict on disk.
    void remove(const PendingBlock& block);

    struct Entry {
        PendingBlock block;
        std::optional<std::filesystem::path> file;  // absent for a block kept in memory only
    };
    // Files oldest first, then the blocks kept in memory.
    std::vector<Entry> all() const;
    void remove(const Entry& entry);
    // Moves the entry's file out of the way ("set-aside-<its name>", beside it) and forgets it;
    // returns where it went (none for a block kept in memory, or when the move failed: then the
    // file stays and is judged again at the next start).
    std::optional<std::filesystem::path> setAside(const Entry& entry);
    // True while a found block is held in memory only, its file never written.
    bool holdsUnsaved() const;
    // Writes the files of the blocks held in memory only; those written are held no more.
    void writeUnsaved();
    // One line for each pending file the folder's reading could not take, set aside as it was
    // read; each is given once.
    std::vector<std::string> takeNotices();

  private:
    void readFolderOnce() const;  // under mutex_
    void forget(const PendingBlock& block, const std::optional<std::filesystem::path>& file);

    std::filesystem::path directory_;
    mutable std::mutex mutex_;
    mutable bool folderRead_ = false;
    mutable std::vector<LoadedPendingBlock> files_;
    mutable std::vector<std::string> notices_;
    std::vector<PendingBlock> unsaved_;
    std::set<std::string> announced_;  // display-order hashes
};

// Forgets the pending blocks the history already holds, once the history is on disk (after a
// crash between the record and the removal, or a history write that failed). Never throws.
void removeRecordedPendingBlocks(PendingBlocks& pending, MiningHistoryStore& historyStore);

// Resubmits every pending block the history does not hold yet, judged by its own bytes: its
// height, coinbase id and reward come from its coinbase, never from the file. A block counts (it
// is recorded with what it pays this installation and, unless this loop announced it already,
// announced) when it carries this installation's mark for the script it pays, or when it carries
// no mark and its header dates from before this installation's first mark (a block of the version
// before the mark), whatever the node answers. Any other block is never counted: submitted when it
// pays the payout address (its reward is the user's), else not even that, and set aside (or kept
// with the rejected blocks when refused) with one notice. A block is recorded as found when its
// file says (never later than now). A recorded block's file goes once the record is on disk. An
// unanswered block stays pending. Never throws apart from Cancelled.
void resubmitPendingBlocks(PendingBlocks& pending, const std::filesystem::path& rejectedDirectory,
                           const RPCClient& client, MiningHistoryStore& historyStore,
                           const BlockOwnership& ownership, const MiningEventHandler& onEvent,
                           std::stop_token stop);

// Restarts the node, backing off from `initialBackoff` (doubling, capped), and returns a client
// bound to the new process. Throws NodeAbandonedError after `attemptLimit` failures.
std::shared_ptr<const RPCClient> restartNodeWithBackoff(
    NodeSupervising& supervisor, int attemptLimit, std::chrono::milliseconds initialBackoff,
    const MiningLoopTimings& timings, const MiningEventHandler& onEvent, std::stop_token stop);

}  // namespace corvanta::loop
