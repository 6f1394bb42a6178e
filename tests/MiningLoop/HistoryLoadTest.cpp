// The history read once a start by every user of one store, a quit obeyed during the read, and a
// file that never grows past what its reader takes.
#include <gtest/gtest.h>

#include <thread>

#include "HistoryCodec.h"
#include "StoreNotices.h"
#include "TestSupport.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/Uuid.h"

namespace corvanta {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes hashOf(std::uint64_t n) {
    Bytes hash(32, 0x77);
    for (int i = 0; i < 8; ++i) hash[i] = std::uint8_t(n >> (8 * i));
    return hash;
}

FoundBlock block(std::uint64_t n, FoundBlockStatus status = FoundBlockStatus::mature) {
    return {.id = makeUuid(),
            .height = std::int64_t(n + 1),
            .blockHash = hashOf(n),
            .coinbaseTxID = hashOf(n + (1ULL << 40)),
            .rewardSats = 100,
            .foundAt = wholeSeconds(WallClock::now()),
            .confirmations = status == FoundBlockStatus::mature ? 100 : 1,
            .status = status};
}

// `pendingFirst`: how many of the oldest still wait for their confirmations.
void writeHistory(const std::filesystem::path& file, std::uint64_t count,
                  std::uint64_t pendingFirst = 0) {
    std::vector<FoundBlock> blocks;
    blocks.reserve(count);
    for (std::uint64_t n = 0; n < count; ++n) {
        blocks.push_back(
            block(n, n < pendingFirst ? FoundBlockStatus::pending : FoundBlockStatus::mature));
    }
    std::filesystem::create_directories(file.parent_path());
    writeFileAtomically(file, MiningHistoryStore::encode(blocks));
}

FoundBlock record(MiningHistoryStore& store, std::uint64_t n) {
    return store.recordSubmission(std::int64_t(n + 1), hashOf(n), hashOf(n + (1ULL << 40)), 100,
                                  {SubmissionResult::Accepted{}}, WallClock::now());
}

TEST(HistoryLoad, OneReadServesEveryUserAndWhatWasRecordedBeforeItCountsOnce) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    writeHistory(file, 3);
    const auto shared = std::make_shared<MiningHistoryStore>(file, MiningHistoryStore::unread);
    // Mining does not wait: blocks come in before the file is read, one of them one it holds.
    record(*shared, 2);
    record(*shared, 3);
    EXPECT_FALSE(shared->summary(0).loaded);
    EXPECT_EQ(shared->folded(), std::nullopt);

    // The views and the loop both ask for it; one of them reads, the other waits for that read.
    std::jthread views([&] { shared->load(); });
    shared->load();
    views.join();
    const auto summary = shared->summary(10);
    EXPECT_TRUE(summary.loaded);
    EXPECT_EQ(summary.count, 4u);
    EXPECT_EQ(summary.totalAcceptedRewardSats, 400);
    EXPECT_EQ(summary.newest[2].status, FoundBlockStatus::mature) << "the file's record wins";

    // Read once: whatever the file holds now is not read again.
    testing::writeText(file, "not a history");
    shared->load();
    EXPECT_EQ(shared->summary(0).count, 4u);
    EXPECT_FALSE(shared->quarantinedFileURL());
    writeHistory(file, 3);
    EXPECT_EQ(MiningHistoryStore(file).summary(0).count, 4u) << "the early block's journal line";
}

TEST(HistoryLoad, AFileSetAsideByTheViewsReadingIsLostForTheLoopToo) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    writeHistory(file, 5);
    testing::writeText(file, testing::readText(file).substr(0, 700));  // cut short
    MiningHistoryStore shared(file, MiningHistoryStore::unread);
    shared.load();  // the views, first
    ASSERT_TRUE(shared.quarantinedFileURL());
    EXPECT_NE(*shared.quarantinedFileURL(), file);

    // The loop, on the same store: the place vouched for five records, the history holds none.
    EXPECT_TRUE(HistoryReconciliation::historyLost(
        shared, HistoryReconciliation::WalkedThrough{5, std::string(64, '0'), 5}));
    std::vector<std::string> said;
    loop::reportHistoryFiles(shared, [&](const MiningEvent& event) {
        said.push_back(std::get<mining_event::StoreNotice>(event).message);
    });
    ASSERT_EQ(said.size(), 1u) << "said by whoever asks first, once";
    EXPECT_TRUE(said[0].find("could not be decoded") != std::string::npos) << said[0];
    EXPECT_TRUE(shared.takeNotices().empty());
}

TEST(HistoryLoad, AStopDuringAReadEndsItUnreadAndALaterLoadReadsItAll) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    constexpr std::uint64_t records = 60'000;
    writeHistory(file, records);
    MiningHistoryStore store(file, MiningHistoryStore::unread);
    record(store, records + 1);

    std::stop_source quit;
    std::atomic<bool> cancelled = false;
    std::jthread reader([&] {
        try {
            store.load(quit.get_token());
        } catch (const Cancelled&) {
            cancelled = true;
        }
    });
    // A waiter stops as promptly as the reader.
    std::stop_source waiterQuit;
    waiterQuit.request_stop();
    EXPECT_THROW(store.load(waiterQuit.get_token()), Cancelled);
    quit.request_stop();
    reader.join();
    EXPECT_TRUE(cancelled) << "the read went on to its end";
    EXPECT_FALSE(store.isLoaded());
    EXPECT_EQ(store.summary(0).count, 1u) << "only what was recorded meanwhile";
    EXPECT_FALSE(store.quarantinedFileURL());

    store.load();
    EXPECT_EQ(store.summary(0).count, records + 1);
}

// The widest record the decoder takes, with the separator the file puts before it.
TEST(HistoryBound, NoRecordIsWiderThanTheBoundCountsOn) {
    FoundBlock widest = block(0, FoundBlockStatus::orphaned);
    widest.blockHash.assign(32, 255);
    widest.coinbaseTxID.assign(32, 255);
    widest.height = 2'147'483'647;
    widest.rewardSats = 2'100'000'000'000'000;
    widest.confirmations = std::numeric_limits<std::int64_t>::max();
    EXPECT_LE(json::dump(loop::encodeBlock(widest)).size() + 1, MiningHistoryStore::maxRecordBytes);
    MiningHistoryStore::Folded folded{
        .count = std::numeric_limits<std::int64_t>::max(),
        .totalAcceptedRewardSats = std::numeric_limits<std::int64_t>::max(),
        .lowestHeight = 0,
        .highestHeight = 2'147'483'647};
    EXPECT_LE(json::dump(loop::encodeFolded(folded)).size() + 2,
              MiningHistoryStore::fileBound -
                  MiningHistoryStore::maxFileRecords * MiningHistoryStore::maxRecordBytes);
}

struct NoChain final : ChainStatusSource {
    ChainPresence chainPresence(const std::string&, std::stop_token) override { return {}; }
    std::int64_t bestBlockHeight(std::stop_token) override { return 0; }
};

// The oldest records still pending: they may yet mature or be orphaned, so the fold passes over
// them and takes settled ones, however much younger.
TEST(HistoryBound, AFoldAtTheBoundKeepsEveryPendingRecordWhole) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    const auto full = MiningHistoryStore::maxFileRecords;
    const std::uint64_t pending = 50;
    writeHistory(file, full, pending);
    MiningHistoryStore store(file);
    record(store, full);
    // A node that knows none of them: every record stays as it is.
    struct UnknownBlocks final : ChainStatusSource {
        ChainPresence chainPresence(const std::string&, std::stop_token) override {
            return {ChainPresence::Unknown{}};
        }
        std::int64_t bestBlockHeight(std::stop_token) override { return 0; }
    } chain;
    store.saveIfUnsaved();
    store.refreshAgainstChain(chain, {});

    ASSERT_TRUE(store.folded());
    EXPECT_GT(store.folded()->lowestHeight, std::int64_t(pending));
    for (std::uint64_t n = 0; n < pending; ++n) EXPECT_TRUE(store.contains(hashOf(n))) << n;
    const MiningHistoryStore next(file);
    for (std::uint64_t n = 0; n < pending; ++n) EXPECT_TRUE(next.contains(hashOf(n))) << n;
    EXPECT_EQ(next.summary(0).count, full + 1);
}

TEST(HistoryBound, AHistoryAtItsBoundFoldsItsOldestSaysSoOnceAndStaysReadable) {
    TempDir folder;
    const auto file = folder.path() / "regtest.json";
    const auto full = MiningHistoryStore::maxFileRecords;
    writeHistory(file, full);
    MiningHistoryStore store(file);
    record(store, full);  // one past what the file may hold: written whole at the next refresh
    NoChain chain;
    store.saveIfUnsaved();
    store.refreshAgainstChain(chain, {});

    EXPECT_LE(std::filesystem::file_size(file), MiningHistoryStore::fileBound);
    const auto folded = store.folded();
    ASSERT_TRUE(folded);
    EXPECT_EQ(folded->lowestHeight, 1);
    const auto notices = store.takeNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].find("as many records as it may") != std::string::npos) << notices[0];
    record(store, full + 1);
    EXPECT_TRUE(store.takeNotices().empty());

    // The next start reads it whole: nothing set aside, the counts and totals as they were.
    const MiningHistoryStore next(file);
    EXPECT_FALSE(next.quarantinedFileURL());
    EXPECT_TRUE(next.setAsideNotices().empty());
    EXPECT_EQ(next.summary(0).count, full + 2);
    EXPECT_EQ(next.totalAcceptedRewardSats(), std::int64_t(full + 2) * 100);
    EXPECT_EQ(next.folded(), folded);
    // A record of the walk written before the fold vouches for them all: none was lost.
    const auto all = std::int64_t(full + 2);
    EXPECT_FALSE(HistoryReconciliation::historyLost(
        next, HistoryReconciliation::WalkedThrough{all, std::string(64, '0'), all}));
    EXPECT_TRUE(next.contains(hashOf(full + 1)));
    EXPECT_EQ(MiningHistoryStore::decode(testing::readText(file)).size() + 1,
              next.allBlocks().size())
        << "the file's records, and the journal's one";
}

}  // namespace
}  // namespace corvanta
