#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

SubmissionResult accepted() {
    return SubmissionResult{SubmissionResult::Accepted{}};
}
SubmissionResult rejected(std::string reason) {
    return SubmissionResult{SubmissionResult::Rejected{std::move(reason)}};
}

Bytes hashNumber(std::uint8_t n) {
    Bytes hash(32, 0);
    hash[0] = n;  // hash byte order: the display form ends in this byte
    return hash;
}

std::string displayHexOf(std::uint8_t n) {
    static const char* digits = "0123456789abcdef";
    return std::string(62, '0') + digits[n >> 4] + digits[n & 15];
}

// Answers from a table keyed by display-order hash; counts every question.
class ScriptedChain final : public ChainStatusSource {
  public:
    std::map<std::string, ChainPresence> answers;
    std::int64_t tip = 0;
    int questions = 0;

    ChainPresence chainPresence(const std::string& hashHex, std::stop_token) override {
        ++questions;
        const auto found = answers.find(hashHex);
        if (found == answers.end()) throw RPCError(-5, "Block not found");
        return found->second;
    }
    std::int64_t bestBlockHeight(std::stop_token) override { return tip; }
};

TEST(MiningHistoryStore, StartsEmptyAndCreatesTheFileOnFirstRecord) {
    TempDir folder;
    const auto file = folder.path() / "history" / "regtest.json";
    MiningHistoryStore store(file);
    EXPECT_TRUE(store.allBlocks().empty());
    EXPECT_FALSE(store.quarantinedFileURL());

    const auto found = WallClock::time_point(std::chrono::milliseconds(1'000'500));
    const auto first =
        store.recordSubmission(5, hashNumber(1), hashNumber(2), 50, accepted(), found);
    const auto second =
        store.recordSubmission(6, hashNumber(3), hashNumber(4), 60, rejected("high-hash"), found);
    EXPECT_EQ(first.status, FoundBlockStatus::pending);
    EXPECT_EQ(second.status, FoundBlockStatus::rejected);
    EXPECT_EQ(first.confirmations, 0);
    EXPECT_EQ(first.foundAt.time_since_epoch(), std::chrono::seconds(1000));

    const auto text = readFile(file);
    EXPECT_TRUE(text.starts_with("[{\"blockHash\":[1,0,")) << text;
    EXPECT_NE(text.find("\"foundAt\":\"1970-01-01T00:16:40Z\""), std::string::npos);
    EXPECT_EQ(MiningHistoryStore(file).allBlocks(), store.allBlocks());
    EXPECT_EQ(store.totalAcceptedRewardSats(), 50);
}

TEST(MiningHistoryStore, RecordsEachBlockOnce) {
    TempDir folder;
    MiningHistoryStore store(folder.path() / "h.json");
    const auto first =
        store.recordSubmission(5, hashNumber(1), hashNumber(2), 50, accepted(), WallClock::now());
    // The same block answered again after a crash (the node says "duplicate") is not doubled.
    const auto again =
        store.recordSubmission(5, hashNumber(1), hashNumber(2), 50, accepted(), WallClock::now());
    EXPECT_EQ(first, again);
    EXPECT_EQ(store.allBlocks().size(), 1u);
    EXPECT_EQ(store.totalAcceptedRewardSats(), 50);

    // A record whose save failed is written when the block is recorded again.
    const auto blocker = folder.path() / "blocked";
    testing::writeText(blocker, "a file where the history folder should be");
    MiningHistoryStore unsaved(blocker / "h.json");
    EXPECT_ANY_THROW(unsaved.recordSubmission(5, hashNumber(1), hashNumber(2), 50, accepted(),
                                              WallClock::now()));
    EXPECT_TRUE(unsaved.contains(hashNumber(1)));
    EXPECT_FALSE(unsaved.contains(hashNumber(2)));
    std::filesystem::remove(blocker);
    unsaved.recordSubmission(5, hashNumber(1), hashNumber(2), 50, accepted(), WallClock::now());
    EXPECT_EQ(MiningHistoryStore(blocker / "h.json").allBlocks(), unsaved.allBlocks());
}

// One record as the store writes it.
json::Value goodRecord(std::uint8_t n) {
    return {{"id", "6F1C2E1A-3B9D-4C7E-9A2B-00000000000" + std::to_string(n % 10)},
            {"height", 100 + n},
            {"blockHash", hashNumber(n)},
            {"coinbaseTxID", hashNumber(n)},
            {"rewardSats", 5'000'000'000},
            {"foundAt", "2024-03-01T12:00:00Z"},
            {"confirmations", 0},
            {"status", "pending"}};
}

std::string historyOf(const std::vector<json::Value>& records) {
    return json::dump(json::Value(records));
}

std::string withFirst(const char* key, json::Value value) {
    auto record = goodRecord(1);
    record[key] = std::move(value);
    return historyOf({record, goodRecord(2)});
}

TEST(MiningHistoryStore, PutsWhatItCannotTrustAsideUntouchedAndStartsEmpty) {
    const std::string deep = std::string(75'000, '[') + std::string(75'000, ']');
    // Kept as bytes, these are one id: written back, the file would hold it twice.
    auto sameIdInLowerCase = goodRecord(2);
    sameIdInLowerCase["id"] = "6f1c2e1a-3b9d-4c7e-9a2b-000000000001";
    auto mature = goodRecord(1);
    mature["status"] = "mature";
    mature["confirmations"] = 99;
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"unknown status", withFirst("status", "lost")},
        {"number no double holds", "1e400"},
        {"number no double holds, inside a record",
         historyOf({goodRecord(1)}).insert(2, "\"x\":7E333,")},  // after "[{"
        {"nesting 75,000 deep", deep},
        {"date the clock cannot hold", withFirst("foundAt", "2263-01-01T00:00:00Z")},
        {"empty block hash", withFirst("blockHash", json::Value::array())},
        {"31-byte block hash", withFirst("blockHash", Bytes(31, 7))},
        {"33-byte coinbase hash", withFirst("coinbaseTxID", Bytes(33, 7))},
        {"repeated id", historyOf({goodRecord(1), goodRecord(11)})},
        {"ids differing only in letter case", historyOf({goodRecord(1), sameIdInLowerCase})},
        {"repeated block hash", withFirst("blockHash", hashNumber(2))},
        {"negative confirmations", withFirst("confirmations", -1)},
        {"mature too early", historyOf({mature})},
        {"negative reward", withFirst("rewardSats", -1)},
        {"reward above all bitcoin", withFirst("rewardSats", 2'100'000'000'000'001)},
        {"negative height", withFirst("height", -1)},
    };
    for (const auto& [why, text] : damaged) {
        SCOPED_TRACE(why);
        TempDir folder;
        const auto file = folder.path() / "mainnet.json";
        writeFileAtomically(file, text);

        MiningHistoryStore store(file);
        EXPECT_TRUE(store.allBlocks().empty());
        EXPECT_EQ(store.totalAcceptedRewardSats(), 0);
        const auto aside = store.quarantinedFileURL();
        ASSERT_TRUE(aside);
        EXPECT_TRUE(aside->filename().string().starts_with("mainnet.unreadable-")) << *aside;
        EXPECT_EQ(aside->extension(), ".json");
        EXPECT_EQ(readFile(*aside), text);
        EXPECT_FALSE(std::filesystem::exists(file));
    }

    // The same records, undamaged, load as they are, the oldest and latest dates included.
    auto late = goodRecord(2);
    late["foundAt"] = "2262-04-11T23:47:16Z";
    mature["confirmations"] = 100;
    TempDir folder;
    const auto file = folder.path() / "mainnet.json";
    writeFileAtomically(file, historyOf({mature, late}));
    MiningHistoryStore store(file);
    EXPECT_FALSE(store.quarantinedFileURL());
    ASSERT_EQ(store.allBlocks().size(), 2u);
    EXPECT_EQ(MiningHistoryStore::encode(store.allBlocks()), historyOf({mature, late}));
}

TEST(MiningHistoryStore, RefusesToRecordWhatItsFileCouldNotHold) {
    TempDir folder;
    MiningHistoryStore store(folder.path() / "mainnet.json");
    const auto found = WallClock::now();
    EXPECT_THROW(store.recordSubmission(1, {}, hashNumber(1), 1, accepted(), found),
                 std::invalid_argument);
    EXPECT_THROW(store.recordSubmission(1, hashNumber(1), Bytes(31), 1, accepted(), found),
                 std::invalid_argument);
    EXPECT_THROW(store.recordSubmission(-1, hashNumber(1), hashNumber(1), 1, accepted(), found),
                 std::invalid_argument);
    EXPECT_THROW(store.recordSubmission(1, hashNumber(1), hashNumber(1), -1, accepted(), found),
                 std::invalid_argument);
    EXPECT_TRUE(store.allBlocks().empty());
    EXPECT_FALSE(std::filesystem::exists(store.fileURL()));
}

TEST(MiningHistoryStore, FollowsTheChain) {
    TempDir folder;
    MiningHistoryStore store(folder.path() / "h.json");
    for (std::uint8_t n = 1; n <= 5; ++n) {
        store.recordSubmission(100 + n, hashNumber(n), hashNumber(n), 10, accepted(),
                               WallClock::now());
    }
    store.recordSubmission(200, hashNumber(9), hashNumber(9), 10, rejected("bad"),
                           WallClock::now());
    ScriptedChain chain;
    chain.tip = 2000;
    chain.answers[displayHexOf(1)] = {ChainPresence::Active{100}};
    chain.answers[displayHexOf(2)] = {ChainPresence::Active{99}};
    chain.answers[displayHexOf(3)] = {ChainPresence::Active{3}};
    chain.answers[displayHexOf(4)] = {ChainPresence::Orphaned{}};
    // hash 5: the node does not know it (-5): unchanged.
    const auto matured = store.refreshAgainstChain(chain, {});
    auto blocks = store.allBlocks();
    EXPECT_EQ(matured, std::vector<FoundBlock>{blocks[0]});
    EXPECT_EQ(blocks[0].status, FoundBlockStatus::mature);
    EXPECT_EQ(blocks[1].status, FoundBlockStatus::pending);
    EXPECT_EQ(blocks[1].confirmations, 99);
    EXPECT_EQ(blocks[3].status, FoundBlockStatus::orphaned);
    EXPECT_EQ(blocks[3].confirmations, 0);
    EXPECT_EQ(blocks[4].status, FoundBlockStatus::pending);
    EXPECT_EQ(chain.questions, 5);  // the rejected record is never asked about
    EXPECT_EQ(MiningHistoryStore(folder.path() / "h.json").allBlocks(), blocks);
    EXPECT_EQ(store.totalAcceptedRewardSats(), 40);

    // The orphan comes back after a reorganisation while the tip is near.
    chain.answers[displayHexOf(3)] = {ChainPresence::Active{2}};
    chain.answers[displayHexOf(1)] = {ChainPresence::Active{98}};
    chain.answers[displayHexOf(4)] = {ChainPresence::Active{5}};
    chain.tip = 104 + MiningHistoryStore::orphanRecheckDepth;
    EXPECT_TRUE(store.refreshAgainstChain(chain, {}).empty());
    blocks = store.allBlocks();
    EXPECT_EQ(blocks[0].status, FoundBlockStatus::pending);  // a mature block can fall back
    EXPECT_EQ(blocks[3].status, FoundBlockStatus::pending);
    EXPECT_EQ(blocks[3].confirmations, 5);

    // Each maturing is reported once, whatever the block's status before.
    chain.answers[displayHexOf(1)] = {ChainPresence::Active{120}};
    chain.answers[displayHexOf(2)] = {ChainPresence::Active{101}};
    chain.answers[displayHexOf(4)] = {ChainPresence::Active{100}};
    const auto reported = store.refreshAgainstChain(chain, {});
    blocks = store.allBlocks();
    EXPECT_EQ(reported, (std::vector<FoundBlock>{blocks[0], blocks[1], blocks[3]}));
    EXPECT_TRUE(store.refreshAgainstChain(chain, {}).empty());

    // A summary holds the count, the total and only the newest records.
    const auto summary = store.summary(2);
    EXPECT_EQ(summary.count, 6u);
    EXPECT_EQ(summary.totalAcceptedRewardSats, store.totalAcceptedRewardSats());
    EXPECT_EQ(summary.newest, (std::vector<FoundBlock>{blocks[4], blocks[5]}));
    EXPECT_EQ(store.summary(10).newest, blocks);
}

TEST(MiningHistoryStore, LeavesDeepOrphansAndFinalRecordsAlone) {
    TempDir folder;
    MiningHistoryStore store(folder.path() / "h.json");
    store.recordSubmission(10, hashNumber(1), hashNumber(1), 10, accepted(), WallClock::now());
    store.recordSubmission(11, hashNumber(2), hashNumber(2), 10, rejected("x"), WallClock::now());
    ScriptedChain chain;
    chain.answers[displayHexOf(1)] = {ChainPresence::Orphaned{}};
    store.refreshAgainstChain(chain, {});
    ASSERT_EQ(store.allBlocks()[0].status, FoundBlockStatus::orphaned);

    chain.questions = 0;
    chain.tip = 11 + MiningHistoryStore::orphanRecheckDepth;
    const auto modified = std::filesystem::last_write_time(folder.path() / "h.json");
    store.refreshAgainstChain(chain, {});
    EXPECT_EQ(chain.questions, 0);
    EXPECT_EQ(std::filesystem::last_write_time(folder.path() / "h.json"), modified);
    EXPECT_EQ(store.totalAcceptedRewardSats(), 0);
}

// A history of two blocks whose file holds the first, the second only in the journal.
struct JournalledHistory {
    TempDir folder;
    std::filesystem::path file = folder.path() / "regtest.json";
    std::filesystem::path journal = folder.path() / "regtest.json.journal";

    JournalledHistory() {
        MiningHistoryStore store(file);
        store.recordSubmission(1, hashNumber(1), hashNumber(1), 10, accepted(), WallClock::now());
        store.recordSubmission(2, hashNumber(2), hashNumber(2), 20, accepted(), WallClock::now());
    }
    std::size_t journalLines() const {
        const auto text = readFile(journal);
        return std::size_t(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST(MiningHistoryStore, RecordsIntoAJournalThatTheRefreshFoldsIntoTheFile) {
    JournalledHistory history;
    const auto fileBefore = readFile(history.file);
    ASSERT_EQ(history.journalLines(), 1u);
    EXPECT_EQ(MiningHistoryStore::decode(fileBefore).size(), 1u);  // the file alone still loads

    MiningHistoryStore store(history.file);
    ASSERT_EQ(store.allBlocks().size(), 2u);
    EXPECT_TRUE(store.contains(hashNumber(2)));
    EXPECT_EQ(store.totalAcceptedRewardSats(), 30);
    store.recordSubmission(3, hashNumber(3), hashNumber(3), 30, accepted(), WallClock::now());
    EXPECT_EQ(readFile(history.file), fileBefore);  // a record never rewrites the file
    EXPECT_EQ(history.journalLines(), 2u);

    ScriptedChain chain;
    chain.answers[displayHexOf(2)] = {ChainPresence::Active{4}};
    store.refreshAgainstChain(chain, {});
    EXPECT_FALSE(std::filesystem::exists(history.journal));
    const auto folded = MiningHistoryStore::decode(readFile(history.file));
    EXPECT_EQ(folded, store.allBlocks());
    EXPECT_EQ(folded[1].confirmations, 4);
    EXPECT_EQ(MiningHistoryStore(history.file).allBlocks(), folded);

    // A fold cut short after the file was written leaves the journal: nothing counts twice.
    writeFileAtomically(history.journal, fileBefore.substr(1, fileBefore.size() - 2) + "\n");
    MiningHistoryStore again(history.file);
    EXPECT_EQ(again.allBlocks(), folded);
    EXPECT_FALSE(again.quarantinedJournalURL());
}

TEST(MiningHistoryStore, RefusesDamagedJournalLinesKeepsTheRestAndPutsThemAsideUntouched) {
    JournalledHistory history;
    const auto good = readFile(history.journal);
    auto sameId = json::parse(good);
    sameId["blockHash"] = hashNumber(7);  // another block under an id already used
    auto lost = goodRecord(5);
    lost["status"] = "lost";
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"not JSON", "{\"blockHash\":[1,2\n"},
        {"a record the file would refuse", json::dump(lost) + "\n"},
        {"an empty line", "\n"},
        {"a repeated id", json::dump(sameId) + "\n"},
        {"a line never finished", "{\"blockHash\""},
    };
    for (const auto& [why, bad] : damaged) {
        SCOPED_TRACE(why);
        writeFileAtomically(history.journal, good + bad);
        const auto written = readFile(history.journal);
        {
            const MiningHistoryStore reader(history.file);  // a store that only reads
            EXPECT_EQ(reader.allBlocks().size(), 2u);
        }
        EXPECT_EQ(readFile(history.journal), written);

        MiningHistoryStore store(history.file);
        EXPECT_EQ(store.allBlocks().size(), 2u);
        store.recordSubmission(3, hashNumber(3), hashNumber(3), 30, accepted(), WallClock::now());
        const auto aside = store.quarantinedJournalURL();
        ASSERT_TRUE(aside);
        EXPECT_EQ(readFile(*aside), written);
        EXPECT_EQ(MiningHistoryStore::decode(readFile(history.file)), store.allBlocks());
        EXPECT_EQ(store.allBlocks().size(), 3u);
        std::filesystem::remove(*aside);
        // Back to the two-block history for the next case.
        writeFileAtomically(history.file, MiningHistoryStore::encode({store.allBlocks()[0]}));
    }
}

// A record made before the history is read goes to the journal unread. After a line a torn write
// left unfinished it starts a line of its own: it reads back at the next start, and the torn line
// stays as it was, refused, and is put aside with the journal at the next fold.
TEST(MiningHistoryStore, ARecordAppendedBeforeTheReadNeverContinuesATornLine) {
    struct Case {
        const char* name;
        std::string torn;
        bool refused;  // else the line lacked only its line break: a whole record
    };
    const std::vector<Case> cases{
        {"cut inside a record", "{\"blockHash\":[1,2", true},
        {"cut inside a text", "{\"id\":\"6F1C", true},
        {"cut before its line break", json::dump(goodRecord(5)), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JournalledHistory history;
        appendToFileDurably(history.journal, c.torn);
        const auto before = readFile(history.journal);
        {
            MiningHistoryStore unread(history.file, MiningHistoryStore::unread);
            unread.recordSubmission(3, hashNumber(3), hashNumber(3), 30, accepted(),
                                    WallClock::now());
        }
        const auto journal = readFile(history.journal);
        EXPECT_TRUE(journal.starts_with(before + "\n")) << journal;

        MiningHistoryStore store(history.file);
        EXPECT_TRUE(store.contains(hashNumber(3)));
        EXPECT_EQ(store.allBlocks().size(), c.refused ? 3u : 4u);
        EXPECT_EQ(store.contains(hashNumber(5)), !c.refused);
        store.recordSubmission(4, hashNumber(4), hashNumber(4), 40, accepted(), WallClock::now());
        const auto aside = store.quarantinedJournalURL();
        ASSERT_EQ(aside.has_value(), c.refused);
        if (aside) {
            EXPECT_EQ(readFile(*aside), journal);
        }
        EXPECT_EQ(MiningHistoryStore(history.file).allBlocks(), store.allBlocks());
    }
}

TEST(MiningHistoryStore, KeepsARecordWhoseJournalLineFailedAndWritesItWithTheNext) {
    JournalledHistory history;
    MiningHistoryStore store(history.file);
    std::filesystem::remove(history.journal);
    std::filesystem::create_directories(history.journal / "x");  // nothing can be appended
    EXPECT_THROW(
        store.recordSubmission(3, hashNumber(3), hashNumber(3), 30, accepted(), WallClock::now()),
        FileWriteError);
    EXPECT_TRUE(store.contains(hashNumber(3)));
    std::filesystem::remove_all(history.journal);
    // The block answered again (after the retry that follows a failed save) is written now.
    store.recordSubmission(3, hashNumber(3), hashNumber(3), 30, accepted(), WallClock::now());
    EXPECT_EQ(MiningHistoryStore::decode(readFile(history.file)), store.allBlocks());
    EXPECT_EQ(MiningHistoryStore(history.file).allBlocks().size(), 3u);
}

TEST(HistoryMigration, MovesOnlyIntoAnEmptyPlace) {
    TempDir folder;
    const auto legacy = folder.path() / "MinerHistory.json";
    const auto target = folder.path() / "history" / "regtest.json";
    HistoryMigration::migrateLegacyIfNeeded(legacy, target);  // nothing there: nothing happens
    EXPECT_FALSE(std::filesystem::exists(target));

    writeFileAtomically(legacy, "[]");
    HistoryMigration::migrateLegacyIfNeeded(legacy, target);
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(legacy));

    writeFileAtomically(legacy, "[1]");
    HistoryMigration::migrateLegacyIfNeeded(legacy, target);
    EXPECT_EQ(readFile(target), "[]");
    EXPECT_EQ(readFile(legacy), "[1]");
}

}  // namespace
}  // namespace corvanta
