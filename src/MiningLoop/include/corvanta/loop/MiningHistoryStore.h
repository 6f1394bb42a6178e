#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/loop/ChainStatusSource.h"
#include "corvanta/loop/FoundBlock.h"

namespace corvanta {

// The permanent record of every block found on one network, one JSON array in one file. Records
// are only ever appended; statuses follow the chain. Safe to share between threads.
class MiningHistoryStore {
  public:
    // Orphaned blocks this close to the tip are still re-checked: a reorganisation can bring them
    // back onto the main chain, and their reward with them.
    static constexpr std::int64_t orphanRecheckDepth = 1000;

    // Loads the file. A missing or unreadable file gives an empty history; an undecodable one is
    // put aside (see quarantinedFileURL) and the history starts empty.
    explicit MiningHistoryStore(std::filesystem::path fileURL);

    const std::filesystem::path& fileURL() const { return fileURL_; }
    // Where an undecodable file found at start-up was put; its own place when it could not be
    // moved or copied aside, in which case the store refuses to write over it.
    std::optional<std::filesystem::path> quarantinedFileURL() const;

    std::vector<FoundBlock> allBlocks() const;
    // True when a record of this block (hash byte order) is held, saved or not.
    bool contains(const std::vector<std::uint8_t>& blockHash) const;

    // Adds the record of a submitted block (status rejected or pending, 0 confirmations) and
    // persists. Recording is idempotent by block hash: a block already recorded is returned as it
    // stands, so a block resubmitted after a crash is never counted twice; when an earlier write
    // failed, it is written again. Throws the persisting error (the record stays in memory and
    // reaches the file with the next successful write). A normal return means the record is on
    // disk. Throws std::invalid_argument, recording nothing, for what the file could not hold:
    // hashes other than 32 bytes, a height outside 0 to 2^31-1, a reward outside 0 to 21,000,000
    // BTC.
    FoundBlock recordSubmission(std::int64_t height, const std::vector<std::uint8_t>& blockHash,
                                const std::vector<std::uint8_t>& coinbaseTxID,
                                std::int64_t rewardSats, const SubmissionResult& result,
                                WallClock::time_point foundAt);

    // Re-checks pending and mature records (and orphaned ones near the tip) against the chain.
    // Never throws apart from Cancelled.
    void refreshAgainstChain(ChainStatusSource& source, std::stop_token stop);

    // Writes the records again when an earlier write failed; throws the persisting error.
    void saveIfUnsaved();

    // Sum of rewards of pending and mature records (saturating, for a damaged file's sake).
    std::int64_t totalAcceptedRewardSats() const;

    static std::string encode(const std::vector<FoundBlock>& blocks);
    // Throws json::DecodeError, also for a record that cannot be believed: hashes other than 32
    // bytes, a height or reward out of the range above, negative confirmations, "mature" with
    // fewer than 100 confirmations, a date the clock cannot hold, a repeated id or block hash.
    static std::vector<FoundBlock> decode(std::string_view text);

  private:
    void persistLocked();

    const std::filesystem::path fileURL_;
    mutable std::mutex mutex_;
    std::vector<FoundBlock> blocks_;
    std::optional<std::filesystem::path> quarantinedFileURL_;
    bool mayWrite_ = true;
    bool unsaved_ = false;  // the records in memory differ from the file
};

// Moves files of the older single-network layout into place.
namespace HistoryMigration {
// Moves `legacy` to `target` unless the legacy file is missing or the target exists. Never fails.
void migrateLegacyIfNeeded(const std::filesystem::path& legacy,
                           const std::filesystem::path& target);
}  // namespace HistoryMigration

}  // namespace corvanta
