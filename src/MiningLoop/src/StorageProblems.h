#pragma once

// How the mining loop tells of files it could not read or write: one event a problem and a run,
// however many blocks it costs a place on disk.

#include <filesystem>
#include <string_view>

#include "corvanta/loop/MiningEvent.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
class MiningHistoryStore;
}

namespace corvanta::loop {

// `onEvent` with every StorageProblem after the first of its text left out. Thread-safe.
MiningEventHandler sayingStorageProblemsOnce(MiningEventHandler onEvent);

// A write in `folder` failed: `kept` names what stays in memory instead ("found blocks").
mining_event::StorageProblem writeProblem(const std::filesystem::path& folder,
                                          const FileWriteError& error, std::string_view kept);

// What the history found at start-up that the user should know: a file it could not read (and
// will not write over), or one it set aside. Nothing when all was well.
void reportHistoryFiles(const MiningHistoryStore& history, const MiningEventHandler& onEvent);

}  // namespace corvanta::loop
