// What a hostile or careless environment leaves where the history and the ledger keep their files:
// files the user may not read, FIFOs and links in their place, temporary files of writes a crash
// cut short. Nothing is lost, nothing hangs, nothing is written outside the stores' folder.
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "HistoryJournal.h"
#include "StoreFaults.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using testing::asUnprivilegedUser;
using testing::TempDir;

FoundBlock record(MiningHistoryStore& store, std::uint8_t n) {
    std::vector<std::uint8_t> hash(32, 0);
    hash[0] = n;
    return store.recordSubmission(100 + n, hash, hash, 5'000'000'000,
                                  {SubmissionResult::Accepted{}}, WallClock::now());
}

// Kept in memory, refused on disk.
bool refusesToRecord(MiningHistoryStore& store, std::uint8_t n) {
    try {
        record(store, n);
    } catch (const FileWriteError&) {
        return true;
    }
    return false;
}

ProofEntry append(ProofOfMining& ledger, std::int64_t height) {
    return ledger.append(height, std::string(64, 'a'), 1, std::nullopt, WallClock::now());
}

std::vector<std::int64_t> heightsIn(const MiningHistoryStore& store) {
    std::vector<std::int64_t> heights;
    for (const auto& block : store.allBlocks()) heights.push_back(block.height);
    std::sort(heights.begin(), heights.end());
    return heights;
}

// A folder another user may write in.
fs::path openFolder(const TempDir& dir) {
    fs::permissions(dir.path(), fs::perms::all);
    return dir.path();
}

// The scenario's first failed expectation, as the child process reports it.
#define REQUIRE(condition)                              \
    do {                                                \
        if (!(condition)) return "failed: " #condition; \
    } while (false)

TEST(OddStoreFiles, AnUnreadableHistoryIsNeverOverwrittenAndGetsTheBlocksOnceItReads) {
    TempDir dir;
    const auto file = openFolder(dir) / "regtest.json";
    const auto outcome = asUnprivilegedUser([&]() -> std::string {
        {
            MiningHistoryStore first(file);
            record(first, 1);
            record(first, 2);
            first.saveIfUnsaved();
        }
        const auto before = readFile(file);
        const auto journalBefore = readFile(journal::beside(file));
        ::chmod(file.c_str(), 0);
        {
            MiningHistoryStore store(file);
            const auto reason = store.unreadableReason();
            REQUIRE(reason.has_value());
            REQUIRE(reason->find(file.string()) != std::string::npos);
            REQUIRE(reason->find("Permission denied") != std::string::npos);
            // Found meanwhile: refused on disk, kept in memory.
            REQUIRE(refusesToRecord(store, 3));
            REQUIRE(store.contains(std::vector<std::uint8_t>{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
            ::chmod(file.c_str(), 0600);
            REQUIRE(readFile(file) == before);
            REQUIRE(readFile(journal::beside(file)) == journalBefore);
            // Readable again: the next write holds what the file held and what was found since.
            record(store, 4);
            REQUIRE(!store.unreadableReason());
            REQUIRE((heightsIn(store) == std::vector<std::int64_t>{101, 102, 103, 104}));
        }
        MiningHistoryStore reloaded(file);
        REQUIRE((heightsIn(reloaded) == std::vector<std::int64_t>{101, 102, 103, 104}));
        REQUIRE(!reloaded.quarantinedFileURL());
        return "";
    });
    EXPECT_EQ(outcome, "");
}

TEST(OddStoreFiles, AnUnreadableJournalKeepsTheHistoryFromWritingUntilItReads) {
    TempDir dir;
    const auto file = openFolder(dir) / "regtest.json";
    const auto outcome = asUnprivilegedUser([&]() -> std::string {
        {
            MiningHistoryStore first(file);
            record(first, 1);  // the file
            record(first, 2);  // its journal
        }
        const auto journal = journal::beside(file);
        REQUIRE(fs::exists(journal));
        ::chmod(journal.c_str(), 0);
        MiningHistoryStore store(file);
        REQUIRE(store.unreadableReason().has_value());
        REQUIRE(refusesToRecord(store, 3));
        ::chmod(journal.c_str(), 0600);
        store.saveIfUnsaved();
        MiningHistoryStore reloaded(file);
        REQUIRE((heightsIn(reloaded) == std::vector<std::int64_t>{101, 102, 103}));
        return "";
    });
    EXPECT_EQ(outcome, "");
}

TEST(OddStoreFiles, AnUnreadableLedgerIsNeverOverwrittenAndChainsItsNewEntriesOnceItReads) {
    TempDir dir;
    const auto file = openFolder(dir) / "regtest.json";
    const auto outcome = asUnprivilegedUser([&]() -> std::string {
        std::vector<ProofEntry> kept;
        {
            ProofOfMining first(file);
            for (int i = 0; i < 5; ++i) append(first, i);
            kept = first.allEntries();
        }
        ::chmod(file.c_str(), 0);
        ::chmod(journal::beside(file).c_str(), 0);
        {
            ProofOfMining ledger(file);
            REQUIRE(ledger.unreadableReason().has_value());
            for (int i = 5; i < 7; ++i) {
                try {
                    append(ledger, i);
                } catch (const FileWriteError&) {
                }
            }
            ::chmod(file.c_str(), 0600);
            ::chmod(journal::beside(file).c_str(), 0600);
            append(ledger, 7);
            REQUIRE(!ledger.unreadableReason());
            REQUIRE(ledger.summary(0).verification.entriesChecked == 8);
        }
        const auto entries = ProofOfMining::load(file);
        REQUIRE(entries.size() == 8);
        REQUIRE(std::equal(kept.begin(), kept.end(), entries.begin()));
        REQUIRE(ProofOfMining::verify(entries).isIntact());
        REQUIRE(entries.back().networkHeight == 7);
        return "";
    });
    EXPECT_EQ(outcome, "");
}

// A FIFO never holds a store: it is no file of records, and is set aside like a damaged one.
TEST(OddStoreFiles, AFifoInPlaceOfAFileOrAJournalIsSetAsideWithoutBlocking) {
    for (const bool inPlaceOfJournal : {false, true}) {
        SCOPED_TRACE(inPlaceOfJournal ? "journal" : "file");
        TempDir dir;
        const auto history = dir.path() / "history" / "regtest.json";
        const auto ledger = dir.path() / "proof" / "regtest.json";
        for (const auto& file : {history, ledger}) {
            fs::create_directories(file.parent_path());
            const auto fifo = inPlaceOfJournal ? journal::beside(file) : file;
            ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        }
        {
            MiningHistoryStore store(history);
            record(store, 1);
            store.saveIfUnsaved();
            ProofOfMining proof(ledger);
            for (int i = 0; i < 3; ++i) append(proof, i);
        }
        for (const auto& file : {history, ledger}) {
            // The ledger's first entries may still all be in its journal.
            EXPECT_FALSE(fs::is_fifo(fs::symlink_status(file)));
            EXPECT_FALSE(fs::exists(journal::beside(file)) &&
                         !fs::is_regular_file(journal::beside(file)));
            std::size_t fifos = 0;
            for (const auto& entry : fs::directory_iterator(file.parent_path())) {
                if (fs::is_fifo(entry.symlink_status())) ++fifos;
            }
            EXPECT_EQ(fifos, 1u) << "set aside, never removed";
        }
        EXPECT_EQ(MiningHistoryStore(history).allBlocks().size(), 1u);
        EXPECT_EQ(ProofOfMining::load(ledger).size(), 3u);
    }
}

// A link in a journal's place would have the store write wherever it points.
TEST(OddStoreFiles, ALinkInPlaceOfAJournalIsSetAsideAndNothingIsWrittenThroughIt) {
    TempDir dir;
    const auto outside = dir.path() / "outside";
    const auto history = dir.path() / "history" / "regtest.json";
    const auto ledger = dir.path() / "proof" / "regtest.json";
    {
        MiningHistoryStore store(history);
        record(store, 1);  // a file, so later records go to the journal
    }
    fs::remove(journal::beside(history));
    fs::create_directories(ledger.parent_path());
    for (const auto& file : {history, ledger}) {
        fs::create_symlink(outside / file.parent_path().filename(), journal::beside(file));
    }
    {
        MiningHistoryStore store(history);
        record(store, 2);
        record(store, 3);
        ProofOfMining proof(ledger);
        append(proof, 0);
        append(proof, 1);
    }
    EXPECT_FALSE(fs::exists(outside / "history"));
    EXPECT_FALSE(fs::exists(outside / "proof"));
    EXPECT_EQ(MiningHistoryStore(history).allBlocks().size(), 3u);
    EXPECT_EQ(ProofOfMining::load(ledger).size(), 2u);
    for (const auto& file : {history, ledger}) {
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(journal::beside(file))));
        std::size_t links = 0;
        for (const auto& entry : fs::directory_iterator(file.parent_path())) {
            if (fs::is_symlink(entry.symlink_status())) ++links;
        }
        EXPECT_EQ(links, 1u) << "set aside, never removed";
    }
}

// A fold writes the file before it sets a damaged journal aside. Cut short in between, the
// journal's refused line would now sit at the ledger's next index; it still names another entry
// before it, and stays refused.
TEST(OddStoreFiles, ALedgerFoldCutShortNeverAdoptsAJournalLineItRefused) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    std::string refusedLine;
    {
        ProofOfMining ledger(file);
        for (int i = 0; i < 3; ++i) append(ledger, i);
        ledger.allEntries();
    }
    {
        // The journal holds entries 0-2; a line for index 4, from another ledger, is refused.
        TempDir other;
        ProofOfMining stranger(other.path() / "regtest.json");
        for (int i = 0; i < 5; ++i) append(stranger, 100 + i);
        const auto lines = journal::read(journal::beside(stranger.fileURL())).lines;
        refusedLine = lines.at(4);
        appendToFileDurably(journal::beside(file), refusedLine + "\n");
    }
    const auto damagedJournal = readFile(journal::beside(file));
    {
        ProofOfMining ledger(file);
        EXPECT_EQ(ledger.summary(0).verification.entriesChecked, 3);
        append(ledger, 3);  // index 3, folded at once: the journal is damaged
        EXPECT_EQ(ledger.summary(0).verification.entriesChecked, 4);
    }
    // The journal back as the fold found it, as if the process died before setting it aside.
    writeFileAtomically(journal::beside(file), damagedJournal);
    ProofOfMining reloaded(file);
    const auto verification = reloaded.summary(0).verification;
    EXPECT_EQ(verification.entriesChecked, 4);
    EXPECT_TRUE(verification.isIntact());
    append(reloaded, 4);
    const auto entries = ProofOfMining::load(file);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[4].networkHeight, 4);
    EXPECT_TRUE(ProofOfMining::verify(entries).isIntact());
}

void makeOld(const fs::path& file) {
    const timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(file.c_str(), hourAgo), 0);
}

// Only what our own atomic writes of the store's file left behind, from before this process.
TEST(OddStoreFiles, LeftoverTemporaryFilesOfTheStoresOwnWritesGoWhenItOpens) {
    TempDir dir;
    const auto history = dir.path() / "regtest.json";
    const auto ledger = dir.path() / "proof.json";
    const std::vector<std::string> ours{".regtest.json.tmp-3fa9c0d1e2b4", ".proof.json.tmp-0"};
    const std::vector<std::string> others{
        ".regtest.json.tmp-notours",   // not the writer's hex
        ".mainnet.json.tmp-3fa9",      // another store's
        "regtest.json.tmp-3fa9",       // not hidden
        ".regtest.json.journal.tmp-1"  // no file of ours is written so
    };
    for (const auto& name : ours) {
        testing::writeText(dir.path() / name, std::string(1000, 'x'));
        makeOld(dir.path() / name);
    }
    for (const auto& name : others) {
        testing::writeText(dir.path() / name, "x");
        makeOld(dir.path() / name);
    }
    const auto fresh = dir.path() / ".regtest.json.tmp-ab12";  // a write of this very run
    testing::writeText(fresh, "x");
    fs::create_directory(dir.path() / ".proof.json.tmp-abcd");  // no regular file
    makeOld(dir.path() / ".proof.json.tmp-abcd");

    MiningHistoryStore store(history);
    ProofOfMining proof(ledger);
    for (const auto& name : ours) EXPECT_FALSE(fs::exists(dir.path() / name)) << name;
    for (const auto& name : others) EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(dir.path() / ".proof.json.tmp-abcd"));
}

}  // namespace
}  // namespace corvanta
