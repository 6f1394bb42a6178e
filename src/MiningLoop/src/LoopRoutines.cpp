#include "corvanta/loop/LoopRoutines.h"

#include "DisplayHex.h"
#include "StoreNotices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta::loop {
namespace {

using mining_event::BlockFound;
using mining_event::NodeRestarted;
using mining_event::Recovering;
using mining_event::SubmissionResultEvent;

[[noreturn]] void preconditionFailed(const char* what) {
    std::fprintf(stderr, "precondition failed: %s\n", what);
    std::abort();
}

template <typename Duration>
Duration doubled(Duration pause, Duration cap) {
    return std::min(pause * 2, cap);
}

}  // namespace

bool endsTheRun(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Cancelled&) {
        return true;
    } catch (const std::exception& other) {
        return needsSignetSignature(other);
    } catch (...) {
        return false;
    }
}

std::string describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

SubmissionResult submitWithRetries(const MiningOutcome& outcome, const RPCClient& client,
                                   const MiningLoopTimings& timings,
                                   const MiningEventHandler& onEvent, std::stop_token stop) {
    if (timings.submissionAttempts < 1) preconditionFailed("at least one submission attempt");
    for (int attempt = 1;; ++attempt) {
        try {
            return submit(outcome, client, stop);
        } catch (const RPCError&) {
            throw;  // the node answered: retrying would get the same answer
        } catch (const Cancelled&) {
            throw;
        } catch (...) {
            onEvent(Recovering{"submission attempt " + std::to_string(attempt) +
                               " failed: " + describe(std::current_exception())});
            if (attempt == timings.submissionAttempts) throw;
        }
        sleepOrThrow(timings.submissionRetryStep * attempt, stop);
    }
}

MiningJob recoverAfterFailure(const std::string& reason, TemplateSource& watcher,
                              const MiningLoopTimings& timings, const MiningEventHandler& onEvent,
                              std::stop_token stop) {
    onEvent(Recovering{reason});
    throwIfStopRequested(stop);
    auto pause = timings.recoveryInitialPause;
    while (true) {
        try {
            return watcher.current(stop);
        } catch (...) {
            if (endsTheRun(std::current_exception())) throw;
            onEvent(Recovering{describe(std::current_exception())});
        }
        sleepOrThrow(pause, stop);
        pause = doubled(pause, timings.recoveryMaxPause);
        throwIfStopRequested(stop);
    }
}

PendingBlocks::PendingBlocks(std::filesystem::path directory) : directory_(std::move(directory)) {
    // Pending and rejected block files are written atomically, beside each other's folders.
    const auto ownBlockFile = [](std::string_view name) {
        return (name.starts_with("pending-") || name.starts_with("rejected-")) &&
               name.ends_with(".json");
    };
    removeLeftoverTemporaries(directory_, ownBlockFile);
    if (directory_.has_parent_path()) {
        removeLeftoverTemporaries(directory_.parent_path(), ownBlockFile);
    }
}

namespace {

// Out of the names the folder is read for ("pending-…"), so it is never read again, by this
// process or the next. Where it went, or nothing when it could not be moved.
std::optional<std::filesystem::path> moveOutOfReach(const std::filesystem::path& file) {
    auto aside = file.parent_path() / ("set-aside-" + file.filename().string());
    std::error_code error;
    std::filesystem::rename(file, aside, error);
    if (error) return std::nullopt;
    return aside;
}

}  // namespace

void PendingBlocks::readFolderOnce() const {
    if (folderRead_) return;
    folderRead_ = true;
    auto reading = PendingBlockStore::read(directory_);
    for (auto& loaded : reading.blocks) {
        const bool known = std::any_of(files_.begin(), files_.end(),
                                       [&](const auto& file) { return file.file == loaded.file; });
        if (!known) files_.push_back(std::move(loaded));
    }
    for (const auto& refused : reading.refused) {
        const auto aside = moveOutOfReach(refused.file);
        notices_.push_back("Pending block file " + refused.file.string() + " cannot be taken (" +
                           refused.reason + "): never submitted nor counted; " +
                           (aside ? "set aside as " + aside->string() + "."
                                  : std::string("left where it is (it could not be moved).")));
    }
}

std::vector<std::string> PendingBlocks::takeNotices() {
    std::lock_guard lock(mutex_);
    readFolderOnce();
    return std::exchange(notices_, {});
}

std::optional<FileWriteError> PendingBlocks::add(const PendingBlock& block) {
    std::optional<FileWriteError> failure;
    try {
        PendingBlockStore::write(block, directory_);
    } catch (const FileWriteError& error) {
        failure = error;
    } catch (const std::exception& error) {
        failure = FileWriteError(error.what());
    }
    std::lock_guard lock(mutex_);
    readFolderOnce();
    announced_.insert(block.blockHashHex);
    if (failure) {
        // Not on disk: kept here and resubmitted with the files, so the block is not lost.
        unsaved_.push_back(block);
    } else {
        const auto file = directory_ / block.fileName();
        std::erase_if(files_, [&](const auto& known) { return known.file == file; });
        files_.push_back({block, file});
    }
    return failure;
}

bool PendingBlocks::wasAnnounced(const PendingBlock& block) const {
    std::lock_guard lock(mutex_);
    return announced_.contains(block.blockHashHex);
}

void PendingBlocks::forget(const PendingBlock& block,
                           const std::optional<std::filesystem::path>& file) {
    std::lock_guard lock(mutex_);
    if (file) std::erase_if(files_, [&](const auto& known) { return known.file == *file; });
    std::erase(unsaved_, block);
    announced_.erase(block.blockHashHex);
}

void PendingBlocks::remove(const PendingBlock& block) {
    PendingBlockStore::remove(block, directory_);
    forget(block,
           block.isWellFormed() ? std::optional(directory_ / block.fileName()) : std::nullopt);
}

void PendingBlocks::remove(const Entry& entry) {
    if (entry.file) {
        PendingBlockStore::remove(LoadedPendingBlock{entry.block, *entry.file});
    }
    forget(entry.block, entry.file);
}

std::optional<std::filesystem::path> PendingBlocks::setAside(const Entry& entry) {
    std::optional<std::filesystem::path> moved;
    if (entry.file) {
        moved = moveOutOfReach(*entry.file);
        if (!moved) return std::nullopt;
    }
    forget(entry.block, entry.file);
    return moved;
}

void PendingBlocks::writeUnsaved() {
    std::vector<PendingBlock> held;
    {
        std::lock_guard lock(mutex_);
        held = unsaved_;
    }
    for (const auto& block : held) {
        try {
            PendingBlockStore::write(block, directory_);
        } catch (const std::exception&) {
            continue;
        }
        const auto file = directory_ / block.fileName();
        std::lock_guard lock(mutex_);
        std::erase(unsaved_, block);
        std::erase_if(files_, [&](const auto& known) { return known.file == file; });
        files_.push_back({block, file});
    }
}

bool PendingBlocks::holdsUnsaved() const {
    std::lock_guard lock(mutex_);
    return !unsaved_.empty();
}

std::vector<PendingBlocks::Entry> PendingBlocks::all() const {
    std::lock_guard lock(mutex_);
    readFolderOnce();
    auto files = files_;
    std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.block.foundAt < b.block.foundAt;
    });
    std::vector<Entry> entries;
    for (auto& file : files) entries.push_back({std::move(file.block), std::move(file.file)});
    for (const auto& block : unsaved_) entries.push_back({block, std::nullopt});
    return entries;
}

namespace {

bool isRecorded(const PendingBlock& block, const MiningHistoryStore& historyStore) {
    return historyStore.contains(hashBytesOfDisplayHex(block.blockHashHex));
}

}  // namespace

void removeRecordedPendingBlocks(PendingBlocks& pending, MiningHistoryStore& historyStore) {
    std::vector<PendingBlocks::Entry> recorded;
    for (auto& entry : pending.all()) {
        if (isRecorded(entry.block, historyStore)) recorded.push_back(std::move(entry));
    }
    if (recorded.empty()) return;
    try {
        historyStore.saveIfUnsaved();
    } catch (const std::exception&) {
        return;  // the files are the blocks' only durable record until the history is saved
    }
    for (const auto& entry : recorded) pending.remove(entry);
}

namespace {

std::string settingAside(const PendingBlocks::Entry& entry,
                         const std::optional<std::filesystem::path>& aside) {
    if (aside) return "set aside as " + aside->string() + ".";
    if (entry.file) return "left where it is (it could not be moved).";
    return "dropped.";
}

}  // namespace

namespace {

// Why a pending block that is not counted is not, for its notice.
std::string whyNotCounted(BlockOwnership::Verdict verdict) {
    return verdict == BlockOwnership::Verdict::unmarked
               ? "carries no mark and dates from after this installation's first mark"
               : "carries another installation's mark";
}

}  // namespace

void resubmitPendingBlocks(PendingBlocks& pending, const std::filesystem::path& rejectedDirectory,
                           const RPCClient& client, MiningHistoryStore& historyStore,
                           const BlockOwnership& ownership, const MiningEventHandler& onEvent,
                           std::stop_token stop) {
    for (auto& notice : pending.takeNotices()) {
        onEvent(mining_event::StoreNotice{std::move(notice), std::nullopt});
    }
    removeRecordedPendingBlocks(pending, historyStore);
    for (const auto& entry : pending.all()) {
        const auto& block = entry.block;
        // Its verdict is already recorded, but not yet on disk: nothing to ask the node.
        if (isRecorded(block, historyStore)) continue;
        const auto bytes = BitcoinEncoding::hexBytes(block.blockHex);
        const auto coinbase = bytes ? BlockCoinbase::decode(*bytes) : std::nullopt;
        const auto height = coinbase ? coinbase->pushedHeight() : std::nullopt;
        const auto verdict =
            coinbase ? ownership.judge(*coinbase) : BlockOwnership::Verdict::foreign;
        const bool counts = verdict == BlockOwnership::Verdict::ours ||
                            (coinbase && ownership.predatesTheMark(*coinbase));
        const bool paysTheUser = coinbase && !ownership.payoutScript.empty() &&
                                 coinbase->satsPaidTo(ownership.payoutScript) > 0;
        if (!height || (!counts && !paysTheUser)) {
            const auto aside = pending.setAside(entry);
            onEvent(mining_event::StoreNotice{
                "Pending block " + block.blockHashHex +
                    " is no block of this installation and does not pay the payout address: " +
                    "never submitted nor counted; " + settingAside(entry, aside),
                std::nullopt});
            continue;
        }
        PendingBlockStore::Resubmission answer;
        try {
            answer = PendingBlockStore::resubmitAndTell(block, client, stop);
        } catch (const Cancelled&) {
            throw;  // a stop wins; the block stays pending for the next start
        } catch (...) {
            onEvent(Recovering{"pending block " + std::to_string(*height) +
                               " could not be resubmitted yet"});
            continue;
        }
        const auto& result = answer.result;
        const auto* rejected = std::get_if<SubmissionResult::Rejected>(&result.value);
        bool keptAsRejected = false;
        if (rejected) {
            try {
                recordRejectedBlock(block.blockHex, *height, rejected->reason,
                                    block.blockHashHex.substr(0, 16), rejectedDirectory);
                keptAsRejected = true;
            } catch (const std::exception& error) {
                onEvent(Recovering{std::string("rejected block could not be written: ") +
                                   error.what()});
            }
        }
        if (!counts) {
            // Kept for examination either way: a refused one as a rejected-block file.
            const auto aside = keptAsRejected ? std::nullopt : pending.setAside(entry);
            if (keptAsRejected) pending.remove(entry);
            onEvent(mining_event::StoreNotice{
                "Pending block " + block.blockHashHex + " at height " + std::to_string(*height) +
                    " pays the payout address but " + whyNotCounted(verdict) +
                    ": submitted, never counted; " +
                    (keptAsRejected ? std::string("kept with the rejected blocks.")
                                    : settingAside(entry, aside)),
                std::nullopt});
            continue;
        }

        const auto hash = hashBytesOfDisplayHex(block.blockHashHex);
        const auto rewardSats = ownership.rewardOf(*coinbase);
        if (!pending.wasAnnounced(block)) onEvent(BlockFound{*height, hash, rewardSats});
        // Dated when it was found, not when this start got to it: a block held over an absence
        // keeps its day. A date the clock has not reached yet is no find's: it is taken as now.
        const auto foundAt = std::min<WallClock::time_point>(block.foundAt, WallClock::now());
        bool recorded = true;
        try {
            historyStore.recordSubmission(*height, hash,
                                          std::vector<std::uint8_t>(coinbase->coinbaseTxID.begin(),
                                                                    coinbase->coinbaseTxID.end()),
                                          rewardSats, result, foundAt);
        } catch (const FileWriteError& error) {
            recorded = false;  // kept pending; the next start or save completes it
            onEvent(writeProblem(historyStore.fileURL().parent_path(), error, "found blocks"));
        } catch (const std::exception&) {
            recorded = false;
        }
        onEvent(SubmissionResultEvent{*height, hash, result});
        if (recorded) pending.remove(entry);
    }
}

std::shared_ptr<const RPCClient> restartNodeWithBackoff(
    NodeSupervising& supervisor, int attemptLimit, std::chrono::milliseconds initialBackoff,
    const MiningLoopTimings& timings, const MiningEventHandler& onEvent, std::stop_token stop) {
    if (attemptLimit < 1) preconditionFailed("at least one restart attempt");
    auto pause = initialBackoff;
    for (int attempt = 1;; ++attempt) {
        throwIfStopRequested(stop);
        try {
            auto client = supervisor.restart(timings.restartCookieTimeout,
                                             timings.restartWarmupTimeout, stop);
            supervisor.awaitReadyToMine(
                timings.readyPollInterval, [](const ChainStatus&) {}, stop);
            onEvent(NodeRestarted{attempt});
            return client;
        } catch (const Cancelled&) {
            throw;
        } catch (...) {
            const auto reason = describe(std::current_exception());
            onEvent(Recovering{"node restart attempt " + std::to_string(attempt) +
                               " failed: " + reason});
            if (attempt == attemptLimit) throw NodeAbandonedError(attemptLimit, reason);
        }
        sleepOrThrow(pause, stop);
        pause = doubled(pause, timings.restartMaxPause);
    }
}

}  // namespace corvanta::loop
