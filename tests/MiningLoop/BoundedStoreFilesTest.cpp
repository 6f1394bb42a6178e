// What stands where the history, its journal and the best-difficulty record are kept, when it is
// not their file: a huge sparse file, a FIFO, a link, a folder. Each is set aside whole, unread, on
// opening or before anything is written in its place; the store goes on with what it can keep.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "HistoryJournal.h"
#include "OddFiles.h"
#include "StoreFaults.h"
#include "TestSupport.h"
#include "corvanta/loop/BestDifficultyTracker.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using testing::OddKind;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

FoundBlock record(MiningHistoryStore& store, std::uint8_t n) {
    std::vector<std::uint8_t> hash(32, 0);
    hash[0] = n;
    return store.recordSubmission(100 + n, hash, hash, 5'000'000'000,
                                  {SubmissionResult::Accepted{}}, WallClock::now());
}

std::size_t countIn(const MiningHistoryStore& store) {
    return store.allBlocks().size();
}

bool anyNoticeHolds(const std::vector<std::string>& notices, const std::string& text) {
    return std::any_of(notices.begin(), notices.end(),
                       [&](const std::string& notice) { return notice.find(text) != notice.npos; });
}

// The text of a history a reader following a link would take in.
std::string historyOfOneBlock(const TempDir& dir) {
    const auto other = dir.path() / "elsewhere" / "history.json";
    {
        MiningHistoryStore store(other);
        record(store, 9);
        store.saveIfUnsaved();
    }
    return testing::readText(other);
}

TEST(BoundedStoreFiles, WhatStandsInPlaceOfTheHistoryFileIsSetAsideWholeAndRecordingGoesOn) {
    for (const auto kind : testing::everyOddKind) {
        SCOPED_TRACE(testing::nameOf(kind));
        TempDir dir;
        const auto file = dir.path() / "history" / "regtest.json";
        const auto placed =
            testing::placeOdd(kind, file, dir.path() / "outside", historyOfOneBlock(dir));
        {
            MiningHistoryStore store(file);
            EXPECT_EQ(countIn(store), 0u) << "nothing read from it";
            EXPECT_FALSE(store.unreadableReason());
            const auto notices = store.setAsideNotices();
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_TRUE(anyNoticeHolds(notices, file.string())) << notices[0];
            EXPECT_TRUE(anyNoticeHolds(notices, "set aside as")) << notices[0];
            if (kind == OddKind::hugeSparseFile) {
                EXPECT_TRUE(anyNoticeHolds(notices, "larger than 64 MiB")) << notices[0];
            }
            if (kind == OddKind::link) {
                EXPECT_TRUE(anyNoticeHolds(notices, "symbolic link")) << notices[0];
            }
            EXPECT_EQ(store.quarantinedFileURL(),
                      testing::whereSetAside(placed, file.parent_path(), file));
            record(store, 1);
            record(store, 2);
            store.saveIfUnsaved();
        }
        EXPECT_EQ(testing::checkSetAside(placed, file), "");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
        MiningHistoryStore reloaded(file);
        EXPECT_EQ(countIn(reloaded), 2u);
        EXPECT_TRUE(reloaded.setAsideNotices().empty());
    }
}

TEST(BoundedStoreFiles, WhatStandsInPlaceOfTheHistoryJournalIsSetAsideOnOpeningNeverAppendedTo) {
    for (const auto kind : testing::everyOddKind) {
        SCOPED_TRACE(testing::nameOf(kind));
        TempDir dir;
        const auto file = dir.path() / "history" / "regtest.json";
        {
            MiningHistoryStore store(file);
            record(store, 1);  // the file, so that the next record goes to a journal
        }
        const auto journal = journal::beside(file);
        ASSERT_FALSE(fs::exists(journal));
        const auto placed =
            testing::placeOdd(kind, journal, dir.path() / "outside", std::string(300, '\n'));
        {
            MiningHistoryStore store(file);
            EXPECT_EQ(countIn(store), 1u);
            const auto notices = store.setAsideNotices();
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_TRUE(anyNoticeHolds(notices, "History journal " + journal.string()))
                << notices[0];
            EXPECT_EQ(testing::checkSetAside(placed, journal), "");
            EXPECT_EQ(store.quarantinedJournalURL(),
                      testing::whereSetAside(placed, journal.parent_path(), journal));
            record(store, 2);  // a fresh journal of its own
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(journal)));
        }
        EXPECT_EQ(testing::checkSetAside(placed, journal), "");
        EXPECT_EQ(countIn(MiningHistoryStore(file)), 2u);
    }
}

// At its bound a journal is read as any other: only what lies past it is no journal of ours.
TEST(BoundedStoreFiles, AJournalAtItsBoundIsReadAndOnePastItIsNot) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    {
        MiningHistoryStore store(file);
        record(store, 1);
        record(store, 2);
    }
    const auto journal = journal::beside(file);
    const auto line = testing::readText(journal);
    // Lines of spaces before the record: refused, the record taken.
    std::string padded(MiningHistoryStore::journalBound - line.size(), ' ');
    padded.back() = '\n';
    testing::writeText(journal, padded + line);
    EXPECT_EQ(countIn(MiningHistoryStore(file)), 2u);

    testing::writeText(journal, ' ' + padded + line);
    MiningHistoryStore store(file);
    EXPECT_EQ(countIn(store), 1u);
    EXPECT_TRUE(anyNoticeHolds(store.setAsideNotices(), "larger than 16 MiB"));
}

// Where nothing can be moved aside, nothing is written over what stands there either.
TEST(BoundedStoreFiles, AJournalPastItsBoundThatCannotBeMovedIsNeverWrittenOver) {
    TempDir dir;
    const auto file = dir.path() / "regtest.json";
    {
        MiningHistoryStore store(file);
        record(store, 1);
    }
    const auto journal = journal::beside(file);
    const auto placed = testing::placeOdd(OddKind::hugeSparseFile, journal, dir.path(), "");
    testing::occupyAsideNames(journal);
    MiningHistoryStore store(file);
    EXPECT_TRUE(anyNoticeHolds(store.setAsideNotices(), "could not be set aside"));
    EXPECT_THROW(record(store, 2), FileWriteError);
    EXPECT_EQ(countIn(store), 2u) << "kept in memory";
    struct stat status {};
    ASSERT_EQ(::stat(journal.c_str(), &status), 0);
    EXPECT_EQ(status.st_ino, placed.inode);
    EXPECT_EQ(status.st_size, off_t(1) << 30);
}

Bytes digestStartingWith(std::uint8_t first, std::uint8_t second) {
    Bytes digest(32, 0xAB);
    digest[0] = first;
    digest[1] = second;
    return digest;
}

TEST(BoundedStoreFiles, WhatStandsInPlaceOfTheBestDifficultyIsSetAsideBeforeTheFirstSave) {
    const Bytes target(32, 0x7F);
    for (const auto kind : testing::everyOddKind) {
        SCOPED_TRACE(testing::nameOf(kind));
        TempDir dir;
        const auto file = dir.path() / "best-difficulty" / "regtest.json";
        const auto better = BestDifficultyStore::encode([] {
            BestDifficultyStore::Digest d{};
            d.fill(0);
            d[31] = 1;
            return d;
        }());
        const auto placed = testing::placeOdd(kind, file, dir.path() / "outside", better);
        BestDifficultyTracker tracker{BestDifficultyStore(file)};
        // Nothing read through the link: the better best it points to is not this file's.
        struct stat status {};
        ASSERT_EQ(::lstat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_ino, placed.inode) << "left in place until a save";
        const auto report = tracker.report(digestStartingWith(0, 9), target);
        ASSERT_TRUE(report);
        EXPECT_DOUBLE_EQ(report->allTime, Difficulty::value(digestStartingWith(0, 9)));
        const auto notices = tracker.takeNotices();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(anyNoticeHolds(notices, "set aside as")) << notices[0];
        EXPECT_TRUE(tracker.takeNotices().empty()) << "said once";
        EXPECT_EQ(testing::checkSetAside(placed, file), "");
        const auto stored = BestDifficultyStore(file).load();
        ASSERT_TRUE(stored);
        EXPECT_EQ((*stored)[1], 9);
    }
}

// A record the system would not let be read for a moment may hold the best ever reached: it is
// neither written over nor moved, and once it reads again the better of the two stays.
TEST(BoundedStoreFiles, ABestDifficultyUnreadableForAMomentIsNeverLost) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const auto file = dir.path() / "regtest.json";
    const Bytes target(32, 0x7F);
    const auto outcome = testing::asUnprivilegedUser([&]() -> std::string {
        BestDifficultyStore(file).save(digestStartingWith(0, 2));
        const auto before = readFile(file);
        ::chmod(file.c_str(), 0);
        BestDifficultyTracker tracker{BestDifficultyStore(file)};
        tracker.report(digestStartingWith(0, 9), target);  // better than nothing known
        if (tracker.takeNotices().size() != 1) return "failed: the save's refusal not said";
        ::chmod(file.c_str(), 0600);
        if (readFile(file) != before) return "failed: written over";
        const auto later = tracker.report(digestStartingWith(0, 5), target);
        if (!later || later->allTime != Difficulty::value(digestStartingWith(0, 2))) {
            return "failed: the stored best not taken back";
        }
        if (readFile(file) != before) return "failed: a worse best written";
        return "";
    });
    EXPECT_EQ(outcome, "");
}

}  // namespace
}  // namespace corvanta
