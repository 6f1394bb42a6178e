#pragma once

// How the mining loop tells of the files that keep found blocks: one event a problem and a run,
// however many blocks it costs a place on disk; and of the blocks the chain gave back.

#include <filesystem>
#include <stop_token>
#include <string_view>

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

// Puts back into the history, from the chain, the blocks paying `payoutScript` that earlier
// sessions found but could not write down, and says so for each. Throws Cancelled only.
void reconcileHistory(MiningHistoryStore& history, const RPCClient& client,
                      const Bytes& payoutScript, double timeoutSeconds,
                      const MiningEventHandler& onEvent, std::stop_token stop);

// What the history found at start-up that the user should know: a file it could not read (and
// will not write over), or one it set aside. Nothing when all was well.
void reportHistoryFiles(const MiningHistoryStore& history, const MiningEventHandler& onEvent);

}  // namespace corvanta::loop
