// The proof ledger's files as a user's disk may hold them: far too large, not files at all, a
// link, a file changed behind the ledger's back, a key given twice, more hashes than 64 bits
// count; and a load stopped half-way. Nothing is read that should not be, nothing lost.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>

#include "HistoryJournal.h"
#include "TestSupport.h"
#include "corvanta/ledger/LedgerFigures.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

ProofEntry append(ProofOfMining& ledger, std::int64_t height, std::uint64_t hashes = 1) {
    return ledger.append(height, std::string(64, 'a'), hashes, std::nullopt, WallClock::now());
}

// A ledger file holding `count` entries, as a fold leaves it.
std::vector<ProofEntry> writeFileOf(const fs::path& file, int count) {
    TempDir scratch;
    ProofOfMining source(scratch.path() / "source.json");
    for (int i = 0; i < count; ++i) append(source, i);
    const auto entries = source.allEntries();
    writeFileAtomically(file, ProofOfMining::encode(entries));
    return entries;
}

struct Identity {
    dev_t device;
    ino_t inode;
};

Identity identityOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return {status.st_dev, status.st_ino};
}

// What lies in `folder` under a name that is neither the ledger's nor its journal's.
std::vector<fs::path> asideIn(const fs::path& folder) {
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto name = entry.path().filename().string();
        if (name.find(".unreadable-") != std::string::npos) aside.push_back(entry.path());
    }
    return aside;
}

TEST(LedgerFiles, WhatTheLedgerWillNotReadIsMovedAsideUnreadAndTheLedgerGoesOn) {
    const struct {
        const char* name;
        std::function<void(const fs::path& place, const fs::path& outside)> make;
    } kinds[] = {
        // Far past the bound, and sparse: a copy would take a gigabyte of disk.
        {"1 GiB sparse file",
         [](const fs::path& place, const fs::path&) {
             testing::writeText(place, "[");
             fs::resize_file(place, std::uintmax_t(1) << 30);
         }},
        {"FIFO", [](const fs::path& place,
                    const fs::path&) { ASSERT_EQ(::mkfifo(place.c_str(), 0600), 0); }},
        // A good ledger elsewhere: read through the link, the ledger would write there too.
        {"link",
         [](const fs::path& place, const fs::path& outside) {
             {
                 ProofOfMining elsewhere(outside);
                 append(elsewhere, 7);
             }
             fs::create_symlink(outside, place);
         }},
        {"folder", [](const fs::path& place, const fs::path&) { fs::create_directory(place); }},
    };
    for (const bool journal : {false, true}) {
        for (const auto& kind : kinds) {
            SCOPED_TRACE(std::string(kind.name) + (journal ? " as the journal" : " as the file"));
            TempDir dir;
            const auto file = dir.path() / "proof" / "regtest.json";
            fs::create_directories(file.parent_path());
            const auto outside = dir.path() / "outside.json";
            if (journal) writeFileOf(file, 1);
            const auto place = journal ? journal::beside(file) : file;
            kind.make(place, outside);
            const auto before = identityOf(place);
            const auto outsideBefore = fs::exists(outside) ? readFile(outside) : "";

            ProofOfMining ledger(file);
            const auto aside =
                journal ? ledger.quarantinedJournalURL() : ledger.quarantinedFileURL();
            ASSERT_TRUE(aside.has_value());
            EXPECT_NE(*aside, place);
            EXPECT_EQ(asideIn(file.parent_path()), std::vector<fs::path>{*aside});
            // Moved, not copied: the same thing under another name, and nothing left in place.
            const auto after = identityOf(*aside);
            EXPECT_EQ(after.device, before.device);
            EXPECT_EQ(after.inode, before.inode);
            EXPECT_FALSE(fs::exists(fs::symlink_status(place)));
            if (!journal) {
                EXPECT_TRUE(ledger.quarantineReason().has_value());
                EXPECT_EQ(ledger.unreadableReason(), std::nullopt);
            }

            // The ledger goes on, on a regular file of its own.
            const auto count = ledger.summary(0).verification.entriesChecked;
            EXPECT_EQ(count, journal ? 1 : 0);
            append(ledger, 10);
            append(ledger, 11);
            ledger.allEntries();
            const auto entries = ProofOfMining::load(file);
            ASSERT_EQ(entries.size(), std::size_t(count + 2));
            EXPECT_TRUE(ProofOfMining::verify(entries).isIntact());
            // Its first entries may all still be in its journal.
            const auto now = fs::symlink_status(file);
            EXPECT_TRUE(!fs::exists(now) || fs::is_regular_file(now));
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(journal::beside(file))));
            if (fs::exists(outside)) {
                EXPECT_EQ(readFile(outside), outsideBefore);
            }
        }
    }
}

// A journal that cannot be folded now (an unfinished last line) makes the next entry fold.
void damageJournal(const fs::path& file) {
    appendToFileDurably(journal::beside(file), "{\"index\":");
}

TEST(LedgerFiles, AFoldExtendsTheFileAsItLiesAndNeverWritesOverOneChangedBehindItsBack) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    const auto three = writeFileOf(file, 3);
    // As a person might leave it: the same entries, spaced out, a line break at the end.
    const auto compact = ProofOfMining::encode(three);
    const std::string spaced = compact.substr(0, compact.size() - 1) + "\n ]\n\n";
    writeFileAtomically(file, spaced);
    damageJournal(file);
    {
        ProofOfMining ledger(file);
        ASSERT_EQ(ledger.summary(0).verification.entriesChecked, 3);
        append(ledger, 3);
        // Folded: the file's own bytes, then the new entry.
        EXPECT_EQ(readFile(file).substr(0, compact.size() - 1),
                  compact.substr(0, compact.size() - 1));
        const auto entries = ProofOfMining::load(file);
        ASSERT_EQ(entries.size(), 4u);
        EXPECT_EQ(std::vector<ProofEntry>(entries.begin(), entries.begin() + 3), three);
        EXPECT_TRUE(ProofOfMining::verify(entries).isIntact());
    }
    // Changed on disk while the ledger is open: the next fold leaves it as it is.
    damageJournal(file);
    ProofOfMining ledger(file);
    ASSERT_EQ(ledger.summary(0).verification.entriesChecked, 4);
    writeFileAtomically(file, compact);
    EXPECT_THROW(append(ledger, 4), FileWriteError);
    EXPECT_EQ(readFile(file), compact);
}

TEST(LedgerFiles, AStopEndsTheLoadAndLeavesEveryFileAsItWas) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    writeFileOf(file, 3);
    damageJournal(file);
    const auto text = readFile(file);
    const auto journalText = readFile(journal::beside(file));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(ProofOfMining(file, stop.get_token()), Cancelled);
    EXPECT_EQ(readFile(file), text);
    EXPECT_EQ(readFile(journal::beside(file)), journalText);
    EXPECT_TRUE(asideIn(dir.path()).empty());
    // Undecodable, and stopped: nothing is set aside either.
    writeFileAtomically(file, "[1, 2");
    EXPECT_THROW(ProofOfMining(file, stop.get_token()), Cancelled);
    EXPECT_EQ(readFile(file), "[1, 2");
    EXPECT_TRUE(asideIn(dir.path()).empty());
}

TEST(LedgerFiles, DeclaredHashesPastWhat64BitsCountNeverWrapToAPlausibleCount) {
    TempDir dir;
    ProofOfMining ledger(dir.path() / "regtest.json");
    append(ledger, 1, UINT64_MAX - 11);
    append(ledger, 2, 10);
    EXPECT_EQ(ledger.summary(0).verification.hashesReported, UINT64_MAX - 1);
    EXPECT_EQ(ledger::verdictOf(ledger.summary(0).verification), ledger::Verdict::intact);
    append(ledger, 3, 4'201);  // 2^64 + 4,200 in all
    const auto verification = ledger.summary(0).verification;
    EXPECT_EQ(verification.hashesReported, ProofVerification::hashesBeyondCount);
    EXPECT_EQ(ProofOfMining::verify(ledger.allEntries()).hashesReported,
              ProofVerification::hashesBeyondCount);
    EXPECT_EQ(ledger::verdictOf(verification), ledger::Verdict::suspect);
    append(ledger, 4, 0);
    EXPECT_EQ(ledger.summary(0).verification.hashesReported, ProofVerification::hashesBeyondCount);
    // Whatever the proof, such a sum is never coherent.
    const auto check = ledger::crossCheck(1e9, ProofVerification::hashesBeyondCount);
    ASSERT_TRUE(check.has_value());
    EXPECT_FALSE(check->coherent);
}

TEST(LedgerFiles, AJournalLineWithAKeyGivenTwiceIsRefusedAtItsLine) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    {
        ProofOfMining first(file);  // no file yet: both entries go to the journal
        append(first, 1);
        append(first, 2);
    }
    auto lines = journal::read(journal::beside(file)).lines;
    ASSERT_EQ(lines.size(), 2u);
    const std::string height = "\"networkHeight\":2";
    lines[1].replace(lines[1].find(height), height.size(), "\"networkHeight\":9," + height);
    writeFileAtomically(journal::beside(file), lines[0] + "\n" + lines[1] + "\n");
    ProofOfMining ledger(file);
    const auto summary = ledger.summary(0);
    EXPECT_EQ(summary.verification.entriesChecked, 1);
    ASSERT_TRUE(summary.journalRefusal.has_value());
    EXPECT_EQ(summary.journalRefusal->line, 2u);
}

// What the ledger sets aside lies as a pair, "<name>" and "<name>.journal", that reads as the
// ledger read them when it set them aside; nothing it held is lost or left behind.
TEST(LedgerFiles, WhatIsSetAsideLiesAsALedgerAndItsJournalUnderMatchingNames) {
    using Kind = ProofOfMining::SetAside::Kind;
    const struct {
        const char* name;
        int inFile;         // entries in the file (0: no file)
        bool fileCutShort;  // the file undecodable
        bool journalLink;   // the journal a link to a journal elsewhere
        bool badLine;       // a line the ledger refuses after two good ones
        Kind kind;
        bool fileInPair;       // the pair holds a ledger file, the file as it lay
        std::int64_t counted;  // entries in the ledger in use after one more
    } cases[] = {
        {"refused line after a file", 3, false, false, true, Kind::journalRefused, true, 6},
        {"refused line of a ledger all in its journal", 0, false, false, true, Kind::journalRefused,
         false, 3},
        {"file cut short, its journal with it", 3, true, false, false, Kind::ledger, true, 1},
        {"journal a link", 3, false, true, false, Kind::journalUnread, false, 4},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const auto file = dir.path() / "regtest.json";
        const auto entries = writeFileOf(dir.path() / "all.json", 5);
        if (row.inFile > 0) {
            const auto text = ProofOfMining::encode(
                {entries.begin(), entries.begin() + std::ptrdiff_t(row.inFile)});
            writeFileAtomically(file, row.fileCutShort ? text.substr(0, text.size() - 9) : text);
        }
        std::string journal;
        for (std::size_t i = std::size_t(row.inFile); i < std::size_t(row.inFile) + 2; ++i) {
            const auto line = ProofOfMining::encode({entries[i]});
            journal += line.substr(1, line.size() - 2) + "\n";
        }
        if (row.badLine) journal += "{\"index\":\n";
        const std::string fileBefore = fs::exists(file) ? readFile(file) : "";
        if (row.journalLink) {
            writeFileAtomically(dir.path() / "elsewhere", journal);
            fs::create_symlink(dir.path() / "elsewhere", journal::beside(file));
        } else {
            writeFileAtomically(journal::beside(file), journal);
        }

        ProofOfMining ledger(file);
        append(ledger, 9);
        const auto summary = ledger.summary(0);
        ASSERT_TRUE(summary.setAside.has_value());
        const auto& aside = *summary.setAside;
        EXPECT_EQ(aside.kind, row.kind);
        EXPECT_EQ(aside.ledger.parent_path(), file.parent_path());
        EXPECT_TRUE(aside.withJournal);
        EXPECT_EQ(summary.verification.entriesChecked, row.counted);
        // The pair: the file as it lay (or none), the journal whole under the matching name.
        EXPECT_EQ(fs::exists(aside.ledger), row.fileInPair);
        if (row.fileInPair) {
            EXPECT_EQ(readFile(aside.ledger), fileBefore);
        }
        const auto pairedJournal = journal::beside(aside.ledger);
        if (row.journalLink) {
            EXPECT_TRUE(fs::is_symlink(pairedJournal));
            EXPECT_EQ(readFile(dir.path() / "elsewhere"), journal);
        } else {
            EXPECT_EQ(readFile(pairedJournal), journal);
        }
        if (row.kind == Kind::journalRefused) {
            ASSERT_TRUE(aside.refusal.has_value());
            EXPECT_EQ(aside.refusal->line, 3u);
            // The entries before the refused line stay in the ledger in use, and in its file.
            const auto kept = ProofOfMining::load(file);
            ASSERT_EQ(kept.size(), std::size_t(row.counted));
            EXPECT_EQ(kept[std::size_t(row.counted) - 2], entries[std::size_t(row.counted) - 2]);
            EXPECT_EQ(summary.journalRefusal, std::nullopt);
        }
        EXPECT_EQ(ledger.quarantinedJournalURL(), pairedJournal);
    }
}

}  // namespace
}  // namespace corvanta
