#pragma once

// How the mining loop tells of the files that keep found blocks: one event a problem and a run,
// however many blocks it costs a place on disk; and of the blocks the chain gave back.

#include <filesystem>
#include <stop_token>
#include <string_view>

#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningEvent.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
class MiningHistoryStore;
class RPCClient;
}  // namespace corvanta

namespace corvanta::loop {

// `onEvent` with every StoreNotice after the first of its text left out. Thread-safe.
MiningEventHandler sayingStoreNoticesOnce(MiningEventHandler onEvent);

// A write in `folder` failed: `kept` names what stays in memory instead ("found blocks").
mining_event::StoreNotice writeProblem(const std::filesystem::path& folder,
                                       const FileWriteError& error, std::string_view kept);

// Says in one line how many blocks the walk of the chain put back into the history, and in
// another which heights it could not check on a pruned node.
void reportWalk(const HistoryReconciliation::Walk& walk, const MiningEventHandler& onEvent);

// The record of how far the chain was walked could not be taken: where it went, or that it is left
// as it is (and never written over).
mining_event::StoreNotice walkRecordProblem(
    const std::filesystem::path& file, const HistoryReconciliation::WalkPlaceReading& reading);

// What the history found at start-up that the user should know: a file it could not read (and
// will not write over), or one it set aside, unless told already. Nothing when all was well.
void reportHistoryFiles(MiningHistoryStore& history, const MiningEventHandler& onEvent);

}  // namespace corvanta::loop
