#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/loop/StoreJournal.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {

// One entry of the hash-chained proof-of-mining ledger.
struct ProofEntry {
    std::int64_t index = 0;
    WholeSeconds timestamp{};
    std::int64_t networkHeight = 0;
    std::string networkBlockHash;
    std::uint64_t hashesReported = 0;
    std::optional<std::string> bestHeader;  // 160 lower-case hex digits, serialization order
    std::optional<std::string> bestDigest;  // 64 lower-case hex digits, display order
    std::string previousEntryHash;

    // "index|seconds|height|hash|hashes|header or -|digest or -|previous", UTF-8.
    std::string canonicalText() const;
    std::vector<std::uint8_t> canonicalBytes() const;
    // Double SHA-256 of the canonical bytes, lower-case hex, digest byte order.
    std::string entryHash() const;

    bool operator==(const ProofEntry&) const = default;
};

struct ProofAnchor {
    std::int64_t height;
    std::string hash;
    bool operator==(const ProofAnchor&) const = default;
};

struct ProofVerification {
    std::int64_t entriesChecked = 0;
    std::vector<std::int64_t> brokenChainAt;
    std::vector<std::int64_t> invalidWorkAt;
    double bestDifficultyProven = 0;
    // The sum of the entries' declared hashes. A sum past what 64 bits hold never wraps round to
    // a small, plausible count: it stays at hashesBeyondCount, which no cross-check takes as
    // coherent.
    std::uint64_t hashesReported = 0;
    std::optional<ProofAnchor> firstAnchor;
    std::optional<ProofAnchor> lastAnchor;

    static constexpr std::uint64_t hashesBeyondCount = UINT64_MAX;

    bool isIntact() const { return brokenChainAt.empty() && invalidWorkAt.empty(); }
    // The difficulty and the anchors take no part in the comparison.
    bool operator==(const ProofVerification& other) const {
        return entriesChecked == other.entriesChecked && brokenChainAt == other.brokenChainAt &&
               invalidWorkAt == other.invalidWorkAt && hashesReported == other.hashesReported;
    }
};

// The append-only ledger of one network. Safe to share between threads; appends are serialised.
//
// An entry costs the same whatever the ledger's length, in time and in memory: it is appended to
// a journal beside the file ("<file>.journal", one entry a line), which loading reads after the
// file and which is folded into the file every `foldAfterLines` entries. A journal line whose
// index the file already holds is skipped, so a fold cut short counts nothing twice. The journal
// is read up to its first line that is unreadable or not the next entry; such a journal is put
// aside whole at the next fold, with the file as it lay before that fold, never appended to. In
// memory the ledger keeps its verification so far and its newest `recentKept` entries.
class ProofOfMining {
  public:
    static inline const std::string rootHash = std::string(64, '0');
    static constexpr std::size_t recentKept = 64;
    static constexpr std::size_t foldAfterLines = 512;
    // No real ledger comes near these: an entry with its best header is under 600 bytes, so the
    // file bound holds some 450,000 entries, one per network block mined through, nine years of
    // blocks; the journal is folded into the file every few hundred entries, some 300 KB. The
    // command-line checker reads within the same bounds, so both read the same files.
    static constexpr std::size_t fileBound = std::size_t(256) << 20;
    static constexpr std::size_t journalBound = std::size_t(16) << 20;

    // Loads the ledger, then its journal, without ever blocking, in time and memory in proportion
    // to the file: missing gives an empty ledger; an undecodable file is put aside; a file past
    // fileBound, or anything but a regular file in its place (a link, a FIFO, a folder), is moved
    // aside unread, and so is such a journal; an unreadable one is never written over (see
    // unreadableReason). Opening removes what atomic writes of the file cut short by an earlier
    // process left behind; otherwise loading writes nothing. Throws Cancelled, having changed
    // nothing it was reading, once `stop` is requested.
    explicit ProofOfMining(std::filesystem::path fileURL, std::stop_token stop = {});

    const std::filesystem::path& fileURL() const { return fileURL_; }
    std::optional<std::filesystem::path> quarantinedFileURL() const;
    // Why the file found at start was set aside, while it lies there.
    std::optional<std::string> quarantineReason() const;
    const std::filesystem::path& journalURL() const { return journal_.url(); }
    // Where a journal holding an unreadable or misplaced line was put at the next fold, or one that
    // could not be read at all (past its bound, not a regular file) at start.
    std::optional<std::filesystem::path> quarantinedJournalURL() const;
    // Why the file or its journal, there on disk, could not be read (the file's name and the
    // system's reason), while that lasts. Meanwhile new entries are kept in memory and nothing
    // is written over either; each write reads them again first, and once they read, the new
    // entries are chained after what they hold.
    std::optional<std::string> unreadableReason() const;

    // Every entry, read back from the file and the journal: for a view that needs them all.
    // Throws FileReadError when the file the ledger loaded can no longer be read.
    std::vector<ProofEntry> allEntries() const;
    std::string headHash() const;

    // Why the ledger takes no more of a journal's lines.
    enum class JournalStop {
        unreadable,  // the line is not an entry
        outOfPlace,  // its index is beyond the next one
        unchained,   // the next index, but not chained to the entry before it
    };
    struct JournalRefusal {
        std::size_t line = 0;  // from 1
        JournalStop why = JournalStop::unreadable;
        std::int64_t due = 0;               // the index the ledger expected
        std::optional<std::int64_t> index;  // the line's own, when it decoded
        std::string detail;                 // the decoder's words, for an unreadable line
        bool operator==(const JournalRefusal&) const = default;
    };

    // What the ledger moved aside, so that the user can be told where and check it. Whatever it
    // was, it lies as a pair: the ledger as it was at `ledger`, its journal beside it as
    // "<ledger>.journal", so that the command-line checker given `ledger` reads them both, as the
    // application did. Either may be missing: a ledger that had no journal, or whose entries were
    // all in its journal.
    struct SetAside {
        enum class Kind {
            // The file was past its bound, not a regular file, or undecodable: moved aside at
            // start, its journal with it. Nothing of either is counted.
            ledger,
            // The journal held a line the ledger refused: the entries before it were counted and
            // folded into the file; at that fold the journal went aside whole, with the file as
            // it lay before the fold.
            journalRefused,
            // The journal was past its bound or not a regular file: moved aside unread at start.
            journalUnread,
        };
        Kind kind = Kind::ledger;
        std::filesystem::path ledger;
        bool withJournal = false;
        std::string reason;                     // in the event log's words
        std::optional<JournalRefusal> refusal;  // for journalRefused: the line refused
        bool operator==(const SetAside&) const = default;
    };

    struct Summary {
        ProofVerification verification;  // of the whole ledger; its entriesChecked is the count
        std::vector<ProofEntry> recent;  // the newest entries (at most recentKept), oldest first
        // The journal line the ledger refused, while that journal lies beside the file: none of
        // its lines from there on is counted.
        std::optional<JournalRefusal> journalRefusal;
        // The latest thing the ledger moved aside, since it was opened.
        std::optional<SetAside> setAside;
    };
    // What the ledger shows, without a copy of it: each entry is verified once, when it is
    // loaded or appended.
    Summary summary(std::size_t recent) const;

    // Appends an entry chained to the head and persists it (in the journal). Throws the persisting
    // error; the entry stays in memory and reaches the file with the next successful write. An
    // anchor the file could not hold (a height outside 0 to 2^31-1, a block hash other than 64
    // lower-case hexadecimal digits) is refused with std::invalid_argument and nothing is appended.
    ProofEntry append(std::int64_t networkHeight, const std::string& networkBlockHash,
                      std::uint64_t hashesReported,
                      const std::optional<CPUEngine::BestAttempt>& bestAttempt,
                      WallClock::time_point timestamp);

    // Reads a ledger file and its journal without keeping them; empty when the file is missing
    // or unreadable and has no journal, or undecodable.
    static std::vector<ProofEntry> load(const std::filesystem::path& file);
    // A best header or digest that cannot be checked (one without the other, or a header that is
    // not 80 bytes of hex) counts as invalid work.
    static ProofVerification verify(const std::vector<ProofEntry>& entries);

    struct JournalTaken {
        std::size_t taken = 0;   // lines that became entries
        std::size_t folded = 0;  // lines skipped: their entries are in the file already
        std::optional<JournalRefusal> refused;
    };
    // The one rule by which a journal's lines join the ledger, for the application and the
    // checker alike. After `count` entries whose newest hashes to `head`, each complete line in
    // order: one whose index the ledger already holds was folded in before (a fold cut short
    // leaves it) and is skipped; the next index chained to the head is taken; anything else ends
    // the journal there, and no later line is taken. A line once refused is refused for good:
    // should a fold that added other entries at its index be cut short before the journal was
    // set aside, that line still names another entry before it.
    static JournalTaken takeJournal(const std::vector<std::string>& lines, std::int64_t count,
                                    std::string head,
                                    const std::function<void(ProofEntry&&)>& take);

    static std::string encode(const std::vector<ProofEntry>& entries);
    // Throws json::DecodeError, also for an entry that is not at its own index, a date the clock
    // cannot hold, a negative height, or a hash, header or digest not of its own length in
    // lower-case hexadecimal digits (a best header and its digest present together or not at all).
    static std::vector<ProofEntry> decode(std::string_view text);

  private:
    // Verifies a ledger one entry at a time, in order.
    struct Verifier {
        ProofVerification result;
        std::string expectedPrevious = rootHash;
        void add(const ProofEntry& entry);
    };

    // Loads the file, then its journal, into an empty ledger.
    void loadLocked(const std::stop_token& stop = {});
    void loadFileLocked(const std::stop_token& stop);
    // Something the ledger will not read is in the file's place: moved aside, unread.
    void moveFileAsideLocked(std::string why);
    // The file now lies at `aside`: its journal, which only extends it, goes with it.
    void journalFollowsFileLocked(const std::filesystem::path& aside, std::string why);
    // Before a fold replaces the file, a damaged journal's base is kept: the file as it lies,
    // linked (or copied) to a free name aside, where the journal is to follow it. Where that is
    // (with no file there when the journal stands for the whole ledger); nothing when the file
    // could be neither linked nor copied.
    std::optional<std::filesystem::path> keepBaseOfDamagedJournalLocked();
    // Reads an unreadable ledger again; once it reads, the unsaved entries are chained after it.
    bool rereadLocked();
    std::string headHashLocked() const;
    std::int64_t countLocked() const { return verifier_.result.entriesChecked; }
    // Counts, verifies and remembers an entry that is now part of the ledger.
    void takeLocked(const ProofEntry& entry);
    // Persists a new entry: a journal line, or a fold when the journal cannot take it.
    void persistLocked(const ProofEntry& entry);
    // Every entry: the file's (when it is the ledger's base), the journal's, the unsaved ones.
    std::vector<ProofEntry> gatherLocked() const;
    // The entries after the file's: the journal's, then the unsaved ones.
    std::vector<ProofEntry> sinceFileLocked() const;
    // Writes every entry to the file, then removes the journal (or puts a damaged one aside).
    void foldLocked();

    const std::filesystem::path fileURL_;
    StoreJournal journal_;
    mutable std::mutex mutex_;
    std::deque<ProofEntry> recent_;
    std::vector<ProofEntry> unsaved_;  // in neither the file nor the journal yet
    Verifier verifier_;
    std::optional<std::filesystem::path> quarantinedFileURL_;
    std::optional<std::string> unreadable_;
    bool mayWrite_ = true;
    bool fileHoldsBase_ = false;  // the file decoded (or was written): the journal extends it
    std::optional<std::string> quarantineReason_;
    std::optional<JournalRefusal> journalRefusal_;
    std::optional<SetAside> setAside_;
    // What the file held when it was last read or written: a fold extends it by its bytes,
    // never parsing it again, unless it changed since.
    std::int64_t fileCount_ = 0;
    std::string fileHead_ = rootHash;
    struct FileIdentity {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t changedSeconds = 0, changedNanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    std::optional<FileIdentity> fileIdentity_;
    static std::optional<FileIdentity> identityOf(const std::filesystem::path& file);
    // Writes the file again as it is, without its closing bracket, then `entries` after it.
    void extendFileLocked(const std::vector<ProofEntry>& entries);
};

}  // namespace corvanta
