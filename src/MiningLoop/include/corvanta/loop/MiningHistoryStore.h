#pragma once

#include <array>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/loop/ChainStatusSource.h"
#include "corvanta/loop/FoundBlock.h"
#include "corvanta/loop/StoreJournal.h"

namespace corvanta {

namespace loop {
class HistoryRecords;
struct HistoryReading;
}  // namespace loop

// The permanent record of every block found on one network, one JSON array in one file. Records
// are only ever appended; statuses follow the chain. Safe to share between threads.
//
// Recording a block costs the same whatever the history's length: the record is appended to a
// journal beside the file ("<file>.journal", one record a line), which loading reads after the
// file and which a refresh folds into the file. A journal line whose block the file already holds
// is skipped, so a fold cut short by a crash counts nothing twice. Unreadable journal lines are
// refused: the good ones load, and the journal is put aside whole at the next fold.
class MiningHistoryStore {
  public:
    // Orphaned blocks this close to the tip are still re-checked: a reorganisation can bring them
    // back onto the main chain, and their reward with them.
    static constexpr std::int64_t orphanRecheckDepth = 1000;
    // The largest file and journal read. A record takes about 410 bytes, at most maxRecordBytes:
    // the file holds some 160,000 found blocks, more than a CPU finds on any public network in a
    // lifetime (on a private test chain, where one is found every few hundredths of a second, some
    // hours of mining); the journal is folded into the file at every refresh (30 s) and holds some
    // 40,000. A file past its bound is no history of ours: it is set aside unread.
    static constexpr std::size_t fileBound = std::size_t(64) << 20;
    static constexpr std::size_t journalBound = std::size_t(16) << 20;
    // The longest record written, its separator included: every field at the widest the decoder
    // accepts.
    static constexpr std::size_t maxRecordBytes = 480;
    // The most records the file is written with, its summary included, so that it never passes
    // the bound its reader holds it to. A history that grows past it (only a private test chain
    // finds blocks that fast) keeps its oldest settled records as their count and total (Folded),
    // down to seven eighths of it, and says so once; its counts and totals stay whole.
    static constexpr std::size_t maxFileRecords = (fileBound - 256) / maxRecordBytes;
    static constexpr std::size_t maxJournalLines = journalBound / (maxRecordBytes + 1);

    // The oldest records of a history that reached maxFileRecords: how many, what the accepted
    // ones among them paid, and the heights they lay at. Their hashes are not kept: a walk of the
    // chain takes the summary as holding every block of ours up to `highestHeight`.
    struct Folded {
        std::int64_t count = 0;
        std::int64_t totalAcceptedRewardSats = 0;
        std::int64_t lowestHeight = 0;
        std::int64_t highestHeight = 0;
        bool operator==(const Folded&) const = default;
    };

    // Loads the file, then its journal. A missing file gives an empty history; an undecodable
    // one is put aside (see quarantinedFileURL) and the history starts empty; anything but a
    // regular file in its place (a link, a FIFO, a folder), or one past `fileBound`, is renamed
    // aside unread, never copied; so is such a journal, or one past `journalBound`. An unreadable
    // one is never written over (see unreadableReason).
    // Opening never blocks, and removes what atomic writes of the file cut short by an earlier
    // process left behind; otherwise loading never writes: a store that only reads may share the
    // files with one that records.
    explicit MiningHistoryStore(std::filesystem::path fileURL);
    // Opens the store without reading anything: load() reads the files, once, for every user of
    // the store. Until then it holds only what is recorded meanwhile.
    struct Unread {};
    static constexpr Unread unread{};
    MiningHistoryStore(std::filesystem::path fileURL, Unread);
    ~MiningHistoryStore();
    MiningHistoryStore(const MiningHistoryStore&) = delete;
    MiningHistoryStore& operator=(const MiningHistoryStore&) = delete;

    // Reads the file and its journal as opening does, unless they were read already; while
    // another thread reads them, waits for it. Records made before it ends follow what the files
    // hold, each block once (what the files already hold wins), and are written with them when
    // the files did not have them. Throws Cancelled once `stop` is requested, between two records
    // or while waiting, leaving the store unread: a later load reads the files again.
    void load(std::stop_token stop = {});
    // True once a load has read the files.
    bool isLoaded() const;

    const std::filesystem::path& fileURL() const { return fileURL_; }
    // Where an undecodable file found at start-up was put; its own place when it could not be
    // moved or copied aside, in which case the store refuses to write over it.
    std::optional<std::filesystem::path> quarantinedFileURL() const;
    const std::filesystem::path& journalURL() const { return journal_.url(); }
    // Where a journal holding unreadable lines was put at the first fold after loading it, or
    // where loading put one it could not read.
    std::optional<std::filesystem::path> quarantinedJournalURL() const;
    // One event-log line for each file loading set aside, saying why and where it lies; none when
    // all was well.
    std::vector<std::string> setAsideNotices() const;
    // What the history has to say once, for the event log: the set-aside notices of its load, and
    // that the file reached the records it may hold. Each is handed out once, whoever asks first.
    std::vector<std::string> takeNotices();
    // Why the file or its journal, there on disk, could not be read (the file's name and the
    // system's reason), while that lasts. Meanwhile records are kept in memory and nothing is
    // written over either; each write reads them again first, and once they read, what they hold
    // and what was recorded meanwhile are written together.
    std::optional<std::string> unreadableReason() const;

    // Every record held whole, in the order recorded (the folded ones are not among them). Costs
    // a copy of the whole history: a view that shows a few records asks for a summary.
    std::vector<FoundBlock> allBlocks() const;
    // The oldest records kept as a summary; none until the file reached maxFileRecords.
    std::optional<Folded> folded() const;
    // What the history holds at or below a height: what a record of how far the chain was walked
    // vouches for.
    struct Held {
        // The records, the folded ones counted there whenever any of them is.
        std::size_t count = 0;
        // The records held whole, as a set: their block hashes added up bit by bit (exclusive or),
        // so that one record missing and another added in its place still tell.
        std::array<std::uint8_t, 32> digest{};
        bool operator==(const Held&) const = default;
    };
    Held heldAtOrBelow(std::int64_t height) const;
    // True once loading refused anything: the file or the journal set aside, a journal line torn,
    // undecodable or repeating another's id. Whatever the history counts, a block may be missing
    // from it: it vouches for nothing a walk once checked, for as long as the store lives.
    bool refusedAny() const;

    struct Summary {
        std::size_t count = 0;  // folded records included
        std::int64_t totalAcceptedRewardSats = 0;
        std::vector<FoundBlock> newest;  // oldest first
        // False until the files are read: the figures are then only what was recorded meanwhile.
        bool loaded = true;
    };
    // The number of records, their accepted total and the newest `newest` records.
    Summary summary(std::size_t newest) const;
    // The greatest height of any record held, folded ones included; none for an empty history.
    std::optional<std::int64_t> newestHeight() const;
    // True when a record of this block (hash byte order) is held whole, saved or not.
    bool contains(const std::vector<std::uint8_t>& blockHash) const;

    // Adds the record of a submitted block (status rejected or pending, 0 confirmations) and
    // persists it (in the journal). Recording is idempotent by block hash: a block already recorded
    // is returned as it stands, so a block resubmitted after a crash is never counted twice; when
    // an earlier write failed, it is written again. Throws the persisting error (the record stays
    // in memory and reaches the file with the next successful write). A normal return means the
    // record is on disk. Throws std::invalid_argument, recording nothing, for what the file could
    // not hold: hashes other than 32 bytes, a height outside 0 to 2^31-1, a reward outside 0 to
    // 21,000,000 BTC.
    FoundBlock recordSubmission(std::int64_t height, const std::vector<std::uint8_t>& blockHash,
                                const std::vector<std::uint8_t>& coinbaseTxID,
                                std::int64_t rewardSats, const SubmissionResult& result,
                                WallClock::time_point foundAt);

    // Re-checks pending and mature records (and orphaned ones near the tip) against the chain,
    // then writes the file with the journal folded in. Returns the records that reached maturity
    // in this refresh (from any other status), in the order recorded. Never throws apart from
    // Cancelled. Before the files are read it does nothing: the next refresh checks them.
    std::vector<FoundBlock> refreshAgainstChain(ChainStatusSource& source, std::stop_token stop);

    // Writes the file (journal folded in) when an earlier write failed; throws the persisting
    // error. Before the files are read, the records held go to the journal instead: the file is
    // never written unread.
    void saveIfUnsaved();
    // True when every record held is on disk (in the file or its journal).
    bool isSaved() const;

    // Sum of rewards of pending and mature records, folded ones included (saturating, for a
    // damaged file's sake).
    std::int64_t totalAcceptedRewardSats() const;

    static std::string encode(const std::vector<FoundBlock>& blocks);
    // Throws json::DecodeError, also for a record that cannot be believed: hashes other than 32
    // bytes, a height or reward out of the range above, negative confirmations, "mature" with
    // fewer than 100 confirmations, a date the clock cannot hold, a repeated id or block hash. A
    // folded summary opening the file is passed over: the records alone.
    static std::vector<FoundBlock> decode(std::string_view text);

  private:
    enum class LoadState { unread, reading, read };

    // Takes what reading the files found; what was recorded meanwhile follows, each block once.
    void adoptLocked(loop::HistoryReading reading);
    // Reads an unreadable file again; once it reads, the records held are added to its own.
    bool rereadLocked();
    std::int64_t totalAcceptedRewardSatsLocked() const;
    // Persists one new record: a journal line, or the whole file when the journal cannot extend it.
    void appendLocked(const FoundBlock& block);
    // Writes every record to the file, then removes the journal (or puts a damaged one aside).
    void foldLocked();
    // Past maxFileRecords, folds the oldest settled records into the summary.
    void foldOldestLocked();

    const std::filesystem::path fileURL_;
    StoreJournal journal_;
    mutable std::mutex mutex_;
    std::condition_variable_any loadChanged_;
    LoadState loadState_ = LoadState::unread;
    std::unique_ptr<loop::HistoryRecords> records_;
    std::optional<Folded> folded_;
    std::optional<std::filesystem::path> quarantinedFileURL_;
    std::vector<std::string> setAsideNotices_;
    std::vector<std::string> untold_;  // what takeNotices has not handed out yet
    std::optional<std::string> unreadable_;
    std::uint64_t generation_ = 0;  // counts re-reads and folds, which reorder the records
    bool mayWrite_ = true;
    bool unsaved_ = false;        // the records in memory differ from the file and journal
    bool fileHoldsBase_ = false;  // the file decoded (or was written): the journal may extend it
    bool refusedAny_ = false;
};

// Moves files of the older single-network layout into place.
namespace HistoryMigration {
// Moves `legacy` to `target` unless the legacy file is missing or the target exists. Never fails.
void migrateLegacyIfNeeded(const std::filesystem::path& legacy,
                           const std::filesystem::path& target);
}  // namespace HistoryMigration

}  // namespace corvanta
