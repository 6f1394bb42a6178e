// A found block from the moment its header meets the target until the history holds it on disk:
// never lost, never recorded or announced twice, whatever the node answers and whatever the disk
// refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "BackgroundTasks.h"
#include "HashedPendingBlock.h"
#include "JobRace.h"
#include "LoopFakes.h"
#include "ScriptedNode.h"
#include "StoreFaults.h"
#include "StoreNotices.h"
#include "TestSupport.h"
#include "corvanta/loop/LoopRoutines.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using namespace testing;
using namespace mining_event;
using namespace std::chrono_literals;

PendingBlock pendingBlock(std::int64_t height, WallClock::time_point foundAt) {
    return hashedPendingBlock(height, static_cast<std::uint8_t>(height), foundAt);
}

std::vector<std::uint8_t> hashOf(const PendingBlock& block) {
    const auto display = bytesFromHex(block.blockHashHex);
    return {display.rbegin(), display.rend()};
}

// In height order: files found within one second load in the folder's own order.
std::vector<std::int64_t> heightsIn(const std::filesystem::path& pendingDirectory) {
    std::vector<std::int64_t> heights;
    for (const auto& loaded : PendingBlockStore::load(pendingDirectory)) {
        heights.push_back(loaded.block.height);
    }
    std::sort(heights.begin(), heights.end());
    return heights;
}

std::vector<std::int64_t> heightsIn(const std::vector<FoundBlock>& blocks) {
    std::vector<std::int64_t> heights;
    for (const auto& block : blocks) heights.push_back(block.height);
    return heights;
}

template <typename Event>
std::vector<std::int64_t> heightsOf(const EventLog& log) {
    std::vector<std::int64_t> heights;
    for (const auto& event : log.all<Event>()) heights.push_back(event.height);
    return heights;
}

std::vector<std::string> reasons(const EventLog& log) {
    std::vector<std::string> texts;
    for (const auto& event : log.all<Recovering>()) texts.push_back(event.reason);
    return texts;
}

// A history whose file is damaged and cannot be put aside: it must then never write.
std::shared_ptr<MiningHistoryStore> refusingHistory(const std::filesystem::path& file) {
    writeText(file, "[{\"damaged\":true}]");
    occupyAsideNames(file);
    return std::make_shared<MiningHistoryStore>(file);
}

TEST(Submission, RetriesTransportFailuresWithGrowingPausesButNeverTheNodesOwnAnswer) {
    const MiningOutcome outcome{.nonce = 7, .serializedBlock = {0x00, 0x01}};
    const MiningLoopTimings timings{.submissionRetryStep = 40ms};
    enum class Ending { accepted, nodeError, transportError };
    struct Case {
        const char* name;
        std::deque<ScriptedNode::Answer> script;
        std::size_t submissions;
        std::size_t recovering;
        Ending ending;
    };
    const std::vector<Case> cases{
        {"two failures, then accepted",
         {ScriptedNode::dropped(), ScriptedNode::dropped(), ScriptedNode::accepted()},
         3,
         2,
         Ending::accepted},
        {"the node's error object", {ScriptedNode::rpcError()}, 1, 0, Ending::nodeError},
        {"five failures", std::deque<ScriptedNode::Answer>(5, ScriptedNode::dropped()), 5, 5,
         Ending::transportError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNode node(c.script);
        EventLog log;
        Ending ending = Ending::accepted;
        try {
            EXPECT_TRUE(loop::submitWithRetries(outcome, *node.client(), timings, log.handler(), {})
                            .isAccepted());
        } catch (const RPCError&) {
            ending = Ending::nodeError;
        } catch (const RPCTransportError&) {
            ending = Ending::transportError;
        }
        EXPECT_EQ(ending, c.ending);
        const auto times = node.submissionTimes();
        ASSERT_EQ(times.size(), c.submissions);
        // Pauses of 1, 2, 3, 4 steps between the attempts (2, 4, 6, 8 s in the product).
        for (std::size_t i = 1; i < times.size(); ++i) {
            EXPECT_GE(times[i] - times[i - 1], timings.submissionRetryStep * i) << i;
        }
        const auto failures = reasons(log);
        ASSERT_EQ(failures.size(), c.recovering);
        for (std::size_t i = 0; i < failures.size(); ++i) {
            EXPECT_TRUE(failures[i].starts_with("submission attempt " + std::to_string(i + 1) +
                                                " failed: "))
                << failures[i];
        }
    }
}

struct Resubmission : ::testing::Test {
    TempDir folder;
    std::filesystem::path rejectedDirectory = folder.path() / "rejected";
    std::filesystem::path pendingDirectory = rejectedDirectory / "pending";
    // The folder is read once a start: a new start is a new one.
    std::optional<loop::PendingBlocks> pending{std::in_place, pendingDirectory};
    EventLog log;
    WallClock::time_point now = WallClock::now();

    void resubmit(const ScriptedNode& node, MiningHistoryStore& history,
                  const BlockOwnership& ownership = kOwnership) {
        loop::resubmitPendingBlocks(*pending, rejectedDirectory, *node.client(), history, ownership,
                                    log.handler(), {});
    }

    std::set<std::string> setAsideHeights() const {
        std::set<std::string> setAside;
        for (const auto& entry : std::filesystem::directory_iterator(pendingDirectory)) {
            const auto name = entry.path().filename().string();
            if (name.starts_with("set-aside-pending-")) {
                setAside.insert(name.substr(18, name.find('-', 18) - 18));
            }
        }
        return setAside;
    }
};

TEST_F(Resubmission, AnUnansweredBlockStaysWhileTheOthersAreRecordedAndRemoved) {
    for (int height = 1; height <= 3; ++height) {
        PendingBlockStore::write(pendingBlock(height, now - std::chrono::seconds(3 - height)),
                                 pendingDirectory);
    }
    ScriptedNode node(
        {ScriptedNode::accepted(), ScriptedNode::dropped(), ScriptedNode::verdict("high-hash")});
    MiningHistoryStore history(folder.path() / "history.json");
    resubmit(node, history);

    EXPECT_EQ(heightsIn(pendingDirectory), std::vector<std::int64_t>{2});
    EXPECT_EQ(reasons(log),
              std::vector<std::string>{"pending block 2 could not be resubmitted yet"});
    EXPECT_EQ(heightsOf<BlockFound>(log), (std::vector<std::int64_t>{1, 3}));
    const auto recorded = MiningHistoryStore(history.fileURL()).allBlocks();
    ASSERT_EQ(heightsIn(recorded), (std::vector<std::int64_t>{1, 3}));
    EXPECT_EQ(recorded[1].status, FoundBlockStatus::rejected);
}

TEST_F(Resubmission, EachBlockIsRecordedAndAnnouncedOnce) {
    MiningHistoryStore history(folder.path() / "history.json");
    // Recorded on disk, but the process ended before its file went.
    const auto recorded = pendingBlock(4, now - 2s);
    history.recordSubmission(4, hashOf(recorded), hashOf(recorded), 1,
                             {SubmissionResult::Accepted{}}, now);
    PendingBlockStore::write(recorded, pendingDirectory);
    // Accepted by the node, but its answer never arrived.
    PendingBlockStore::write(pendingBlock(5, now - 1s), pendingDirectory);
    // Announced by this loop when found; its submission failed.
    pending->add(pendingBlock(6, now));

    ScriptedNode node({ScriptedNode::verdict("duplicate"), ScriptedNode::verdict("inconclusive")});
    resubmit(node, history);

    EXPECT_EQ(node.submissionCount(), 2u);  // the recorded block is not asked about
    EXPECT_EQ(heightsOf<BlockFound>(log), std::vector<std::int64_t>{5});
    const SubmissionResult accepted{SubmissionResult::Accepted{}};
    EXPECT_EQ(log.all<SubmissionResultEvent>(),
              (std::vector<SubmissionResultEvent>{{5, hashOf(pendingBlock(5, now - 1s)), accepted},
                                                  {6, hashOf(pendingBlock(6, now)), accepted}}));
    EXPECT_TRUE(heightsIn(pendingDirectory).empty());
    const auto blocks = MiningHistoryStore(history.fileURL()).allBlocks();
    EXPECT_EQ(heightsIn(blocks), (std::vector<std::int64_t>{4, 5, 6}));
    for (const auto& block : blocks) EXPECT_EQ(block.status, FoundBlockStatus::pending);

    resubmit(node, history);
    EXPECT_EQ(node.submissionCount(), 2u);
    EXPECT_EQ(log.events().size(), 3u);
}

// A held block is dated when it was found, however much later a start records it: after an
// absence the history shows the day it was found. A date the clock has not reached yet is no
// find's: it is recorded as the time of recording.
TEST_F(Resubmission, AHeldBlockIsRecordedWithTheTimeItWasFound) {
    struct Case {
        const char* name;
        std::chrono::seconds foundFromNow;
        bool inMemoryOnly;  // its file could not be written
        bool keepsItsDate;
    };
    const std::vector<Case> cases{
        {"its file, found three days ago", -72h, false, true},
        {"held in memory, found two hours ago", -2h, true, true},
        {"its file, dated tomorrow", 24h, false, false},
    };
    std::int64_t height = 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(rejectedDirectory);
        const auto block = pendingBlock(++height, now + c.foundFromNow);
        pending.emplace(pendingDirectory);
        if (c.inMemoryOnly) {
            writeText(rejectedDirectory, "a file where the pending folder's parent should be");
            ASSERT_TRUE(pending->add(block));
        } else {
            PendingBlockStore::write(block, pendingDirectory);
        }
        MiningHistoryStore history(folder.path() / ("history-" + std::to_string(height) + ".json"));
        ScriptedNode node({ScriptedNode::accepted()});
        const auto before = wholeSeconds(WallClock::now());
        resubmit(node, history);
        const auto after = WallClock::now();

        const auto recorded = MiningHistoryStore(history.fileURL()).allBlocks();
        ASSERT_EQ(heightsIn(recorded), std::vector<std::int64_t>{height});
        if (c.keepsItsDate) {
            EXPECT_EQ(recorded[0].foundAt, block.foundAt);
        } else {
            EXPECT_GE(recorded[0].foundAt, before);
            EXPECT_LE(recorded[0].foundAt, after);
        }
    }
}

// The test jobs' headers are dated 1,700,000,100: this installation's marks began one second
// later, so its unmarked blocks are of the version before the mark.
const InstallationKey kKey{"2f1e", 1000, "/home/a/.local/share/Corvanta",
                           WholeSeconds(std::chrono::seconds(1'700'000'101))};

// A pending file is judged by its block: whose mark it carries for the script it pays, or, with
// none, when its header was made; the height, coinbase id and reward recorded are the block's own,
// and the node's answer never makes a block ours.
TEST_F(Resubmission, OnlyABlockOfOursIsCountedWhateverTheNodeAnswers) {
    const auto owner = BlockOwnership::of(kKey, {0x51});
    const auto another = BlockOwnership::of({"9a9a", 1000, kKey.folder, kKey.markedSince}, {0x51});
    // Of the version before the mark, which the node already has: ours all the same.
    PendingBlockStore::write(
        hashedPendingBlock(11, 11, now - 6s, CoinbasePayoutPlan::everythingToMiner({0x51})),
        pendingDirectory);
    // Another installation's, to the same address, which the node takes as new.
    PendingBlockStore::write(hashedPendingBlock(12, 12, now - 5s, another.payoutPlan()),
                             pendingDirectory);
    // Another installation's to another address: never even submitted.
    PendingBlockStore::write(
        hashedPendingBlock(13, 13, now - 4s,
                           BlockOwnership::of(another.key.value(), {0x52}).payoutPlan()),
        pendingDirectory);
    // Ours, in a file that claims another height, coinbase and reward.
    auto forged = hashedPendingBlock(14, 14, now - 3s, owner.payoutPlan());
    const auto ownCoinbase = forged.coinbaseTxIDHex;
    forged.height = 99;
    forged.rewardSats = 1;
    forged.coinbaseTxIDHex = std::string(64, 'a');
    PendingBlockStore::write(forged, pendingDirectory);
    // Ours, found before the payout address changed to the one mined for now.
    PendingBlockStore::write(
        hashedPendingBlock(15, 15, now - 2s, BlockOwnership::of(kKey, {0x52}).payoutPlan()),
        pendingDirectory);
    // Another installation's the node refuses: kept as a rejected block, never counted.
    PendingBlockStore::write(hashedPendingBlock(16, 16, now - 1s, another.payoutPlan()),
                             pendingDirectory);

    ScriptedNode node({ScriptedNode::verdict("duplicate"), ScriptedNode::accepted(),
                       ScriptedNode::accepted(), ScriptedNode::accepted(),
                       ScriptedNode::verdict("bad-cb-height")});
    MiningHistoryStore history(folder.path() / "history.json");
    resubmit(node, history, owner);

    EXPECT_EQ(node.submissionCount(), 5u);
    const auto blocks = MiningHistoryStore(history.fileURL()).allBlocks();
    EXPECT_EQ(heightsIn(blocks), (std::vector<std::int64_t>{11, 14, 15}));
    ASSERT_EQ(blocks.size(), 3u);
    for (const auto& block : blocks) EXPECT_EQ(block.rewardSats, 5'000'000'000);
    const auto coinbaseDisplay = bytesFromHex(ownCoinbase);
    EXPECT_EQ(blocks[1].coinbaseTxID,
              std::vector<std::uint8_t>(coinbaseDisplay.rbegin(), coinbaseDisplay.rend()));
    EXPECT_EQ(heightsOf<BlockFound>(log), (std::vector<std::int64_t>{11, 14, 15}));
    EXPECT_EQ(log.all<SubmissionResultEvent>().size(), 3u);
    const auto notices = log.all<StoreNotice>();
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_NE(notices[0].message.find("another installation's mark: submitted, never counted"),
              std::string::npos)
        << notices[0].message;
    EXPECT_NE(notices[1].message.find("does not pay the payout address"), std::string::npos);
    EXPECT_NE(notices[2].message.find("kept with the rejected blocks"), std::string::npos);
    EXPECT_TRUE(heightsIn(pendingDirectory).empty());
    EXPECT_EQ(setAsideHeights(), (std::set<std::string>{"12", "13"}));

    // Set aside, they are not judged again.
    resubmit(node, history, owner);
    EXPECT_EQ(node.submissionCount(), 5u);
    EXPECT_EQ(log.all<StoreNotice>().size(), 3u);
}

// Without a mark, a block made after this installation's marks began is anyone's: not counted,
// even when the node takes it as new, and set aside.
TEST_F(Resubmission, AnUnmarkedBlockMadeAfterTheFirstMarkIsNeverCounted) {
    auto key = kKey;
    key.markedSince = WholeSeconds(std::chrono::seconds(1'700'000'100));
    const auto unmarked = CoinbasePayoutPlan::everythingToMiner({0x51});
    PendingBlockStore::write(hashedPendingBlock(21, 21, now - 1s, unmarked), pendingDirectory);
    PendingBlockStore::write(hashedPendingBlock(22, 22, now, unmarked), pendingDirectory);
    ScriptedNode node({ScriptedNode::accepted(), ScriptedNode::accepted()});
    MiningHistoryStore history(folder.path() / "history.json");
    resubmit(node, history, BlockOwnership::of(key, {0x51}));
    EXPECT_EQ(node.submissionCount(), 2u);
    EXPECT_TRUE(history.allBlocks().empty());
    EXPECT_TRUE(log.all<BlockFound>().empty());
    const auto notices = log.all<StoreNotice>();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_NE(notices[0].message.find("carries no mark and dates from after"), std::string::npos)
        << notices[0].message;
    EXPECT_EQ(setAsideHeights(), (std::set<std::string>{"21", "22"}));
}

TEST_F(Resubmission, APendingFileStaysUntilTheHistoryHoldsTheBlockOnDisk) {
    struct Case {
        const char* name;
        bool folderBlocked;  // else the store refuses to write over a file it could not put aside
    };
    for (const auto& c :
         {Case{"unwritable history folder", true}, Case{"history that refuses to write", false}}) {
        SCOPED_TRACE(c.name);
        TempDir place;
        const auto blocker = place.path() / "history";
        const auto file = blocker / "regtest.json";
        std::shared_ptr<MiningHistoryStore> history;
        if (c.folderBlocked) {
            writeText(blocker, "a file where the history folder should be");
            history = std::make_shared<MiningHistoryStore>(file);
        } else {
            history = refusingHistory(file);
        }
        log.clear();
        const auto block = pendingBlock(7, now);
        PendingBlockStore::write(block, pendingDirectory);
        pending.emplace(pendingDirectory);
        ScriptedNode node({});

        resubmit(node, *history);
        EXPECT_EQ(heightsOf<BlockFound>(log), std::vector<std::int64_t>{7});
        EXPECT_EQ(log.all<SubmissionResultEvent>().size(), 1u);
        EXPECT_EQ(log.all<StoreNotice>().size(), 1u);  // the failed save, said
        EXPECT_EQ(heightsIn(pendingDirectory), std::vector<std::int64_t>{7});
        EXPECT_TRUE(history->contains(hashOf(block)));

        // Known now: neither asked about nor announced again, and still kept.
        resubmit(node, *history);
        EXPECT_EQ(node.submissionCount(), 1u);
        EXPECT_EQ(log.events().size(), 3u);
        EXPECT_EQ(heightsIn(pendingDirectory), std::vector<std::int64_t>{7});

        if (c.folderBlocked) {
            std::filesystem::remove(blocker);
            resubmit(node, *history);
            EXPECT_TRUE(heightsIn(pendingDirectory).empty());
            EXPECT_EQ(heightsIn(MiningHistoryStore(file).allBlocks()),
                      std::vector<std::int64_t>{7});
        } else {
            EXPECT_EQ(readFile(file), "[{\"damaged\":true}]");
        }
        EXPECT_EQ(log.events().size(), 3u);
        PendingBlockStore::remove(block, pendingDirectory);
    }
}

struct FoundBlockLoop : ::testing::Test {
    TempDir folder;
    std::shared_ptr<FakeTemplateSource> watcher = std::make_shared<FakeTemplateSource>();
    std::filesystem::path historyFile = folder.path() / "history" / "regtest.json";
    std::filesystem::path rejectedDirectory = folder.path() / "rejected";
    std::filesystem::path pendingDirectory = rejectedDirectory / "pending";
    std::shared_ptr<FakeEngine> engine;
    EventLog log;

    // Jobs 1 to `jobs` on tips 1 to `jobs`, then no more until the loop is stopped.
    void serveJobs(int jobs) {
        watcher->onCurrent = [this, jobs](std::stop_token stop) {
            const int n = watcher->currentCalls;
            if (n > jobs) return waitUntilStopped(stop);
            return makeJob(static_cast<std::uint8_t>(n), "lp", n);
        };
        watcher->onWaitForChange = [](auto&&, std::stop_token stop) {
            return waitUntilStopped(stop);
        };
    }

    std::unique_ptr<MiningCoordinator> coordinator(const ScriptedNode& node,
                                                   FakeEngine::Behaviour behaviour) {
        engine = std::make_shared<FakeEngine>(behaviour);
        return std::make_unique<MiningCoordinator>(
            watcher, engine, node.client(), nullptr, 6, 10ms, rejectedDirectory,
            BestDifficultyStore(folder.path() / "best.json"),
            std::make_shared<MiningHistoryStore>(historyFile), kOwnership, std::filesystem::path(),
            MiningLoopTimings{
                .submissionRetryStep = 1ms, .recoveryInitialPause = 5ms, .tipPollInterval = 5ms});
    }

    // Runs the loop until `done` holds, then stops it and waits for it.
    void runUntil(MiningCoordinator& miner, const std::function<bool()>& done) {
        std::jthread running([&] { EXPECT_THROW(miner.run(log.handler()), Cancelled); });
        EXPECT_TRUE(eventually(done));
        miner.stop();
    }

    void mineUntil(const ScriptedNode& node, FakeEngine::Behaviour behaviour,
                   const std::function<bool()>& done) {
        runUntil(*coordinator(node, behaviour), done);
    }
};

TEST_F(FoundBlockLoop, AnAcceptedBlockLeavesItsFileOnlyOnceTheHistoryHoldsItOnDisk) {
    const auto blocker = historyFile.parent_path();
    writeText(blocker, "a file where the history folder should be");
    serveJobs(2);
    std::vector<std::int64_t> pendingAtSecondSubmission;
    // The disk frees up while the second block is being submitted.
    ScriptedNode node({ScriptedNode::accepted(), ScriptedNode::accepted([&] {
                           pendingAtSecondSubmission = heightsIn(pendingDirectory);
                           std::filesystem::remove(blocker);
                       })});
    mineUntil(node, FakeEngine::Behaviour::winAtOnce,
              [&] { return log.all<SubmissionResultEvent>().size() == 2; });

    // The first block's record could not be saved: its file was still there.
    EXPECT_EQ(pendingAtSecondSubmission, (std::vector<std::int64_t>{1, 2}));
    // The second save wrote both records, and both files went.
    EXPECT_EQ(heightsIn(MiningHistoryStore(historyFile).allBlocks()),
              (std::vector<std::int64_t>{1, 2}));
    EXPECT_TRUE(heightsIn(pendingDirectory).empty());
    EXPECT_EQ(heightsOf<BlockFound>(log), (std::vector<std::int64_t>{1, 2}));
    // The failed save was said once, naming the folder; it was no full disk.
    const auto problems = log.all<StoreNotice>();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_TRUE(problems[0].message.starts_with("Cannot write to " + blocker.string() + ": "))
        << problems[0].message;
    EXPECT_FALSE(problems[0].fullFolder);
}

TEST(StoreNotices, AFullDiskIsSaidOnceARunNamingTheFolder) {
    const auto full = loop::writeProblem("/data/history", FileWriteError("cannot sync x", ENOSPC),
                                         "found blocks");
    EXPECT_EQ(full.message,
              "Cannot write to /data/history: disk full; found blocks are kept in memory until "
              "they can be written.");
    EXPECT_EQ(full.fullFolder, "/data/history");
    EXPECT_EQ(loop::writeProblem("/q", FileWriteError("over quota", EDQUOT), "x").fullFolder, "/q");
    EXPECT_FALSE(loop::writeProblem("/d", FileWriteError("denied", EACCES), "x").fullFolder);

    EventLog log;
    const auto once = loop::sayingStoreNoticesOnce(log.handler());
    for (int i = 0; i < 3; ++i) {
        once(full);
        once(TemplateReceived{i});
    }
    once(loop::writeProblem("/other", FileWriteError("", ENOSPC), "found blocks"));
    EXPECT_EQ(log.all<StoreNotice>().size(), 2u);
    EXPECT_EQ(log.all<TemplateReceived>().size(), 3u);
}

TEST_F(FoundBlockLoop, ABlockKeptOnlyInMemoryOutlivesAStop) {
    writeText(rejectedDirectory, "a file where the pending folder's parent should be");
    serveJobs(1);
    ScriptedNode node(std::deque<ScriptedNode::Answer>(5, ScriptedNode::dropped()));
    const auto miner = coordinator(node, FakeEngine::Behaviour::winAtOnce);
    // Every submission fails; the loop is stopped while it recovers.
    runUntil(*miner, [&] { return node.submissionCount() == 5 && reasons(log).size() == 6; });
    ASSERT_TRUE(log.all<SubmissionResultEvent>().empty());
    // The next run hands the block to the node first.
    runUntil(*miner, [&] { return !log.all<SubmissionResultEvent>().empty(); });
    EXPECT_EQ(node.submissionCount(), 6u);
    EXPECT_EQ(heightsOf<BlockFound>(log), std::vector<std::int64_t>{1});
    EXPECT_EQ(heightsIn(MiningHistoryStore(historyFile).allBlocks()), std::vector<std::int64_t>{1});
}

TEST_F(FoundBlockLoop, ARefusedBlockIsKeptAndTheNextJobGoesOnFromTheNextExtranonce) {
    struct Case {
        const char* name;
        ScriptedNode::Answer answer;
        bool rejectedFolderWritable;
        std::uint64_t nextExtranonce;
    };
    const std::vector<Case> cases{
        {"refused", ScriptedNode::verdict("bad-cb-amount"), true, 1},
        {"refused, its file unwritable", ScriptedNode::verdict("bad-cb-amount"), false, 1},
        {"accepted", ScriptedNode::accepted(), true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(rejectedDirectory);
        std::filesystem::remove_all(historyFile.parent_path());
        if (!c.rejectedFolderWritable) writeText(rejectedDirectory, "not a folder");
        log.clear();
        watcher = std::make_shared<FakeTemplateSource>();
        serveJobs(2);
        ScriptedNode node({c.answer});
        mineUntil(node, FakeEngine::Behaviour::winFirstThenExhaust,
                  [&] { return !log.all<SearchExhausted>().empty(); });

        ASSERT_EQ(log.all<SubmissionResultEvent>().size(), 1u);
        EXPECT_EQ(log.all<SearchExhausted>().front().extranonce, c.nextExtranonce);
        const bool refused = c.answer.result != "null";
        const auto recorded = MiningHistoryStore(historyFile).allBlocks();
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].status,
                  refused ? FoundBlockStatus::rejected : FoundBlockStatus::pending);
        EXPECT_TRUE(heightsIn(pendingDirectory).empty());
        // An unwritable rejected-block file is reported after the verdict.
        const auto reported = log.after<Recovering, SubmissionResultEvent>();
        ASSERT_EQ(reported.size(), refused && !c.rejectedFolderWritable ? 1u : 0u);
        if (!reported.empty()) {
            EXPECT_TRUE(reported[0].reason.starts_with("rejected block could not be written: "));
        }
        if (!refused || !c.rejectedFolderWritable) continue;
        // Named with the winning nonce, which the kept block's header carries.
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(rejectedDirectory)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        ASSERT_EQ(files.size(), 1u);
        const auto block =
            bytesFromHex(json::required<std::string>(json::parse(readFile(files[0])), "blockHex"));
        ASSERT_GE(block.size(), 80u);
        const std::uint32_t nonce = block[76] | block[77] << 8 | block[78] << 16 |
                                    static_cast<std::uint32_t>(block[79]) << 24;
        const auto name = files[0].filename().string();
        EXPECT_TRUE(name.starts_with("rejected-1-") &&
                    name.ends_with("-" + std::to_string(nonce) + ".json"))
            << name;
    }
}

TEST(CandidateValidation, OnlyTheNodesRefusalIsShownAsARefusal) {
    struct Case {
        const char* answer;
        std::size_t validated, rejected, unavailable;
    };
    const std::vector<Case> cases{
        {"null", 1, 0, 0},
        {"\"bad-txns-inputs-missingorspent\"", 0, 1, 0},
        // The node holds this very block: the tip moved under the candidate.
        {"\"duplicate\"", 0, 0, 1},
        {"\"inconclusive-not-best-prevblk\"", 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptedNode node({}, c.answer);
        EventLog log;
        {
            loop::BackgroundTasks tasks;
            loop::validateCandidateInBackground(tasks, makeJob(1, "a"), node.client(), 5,
                                                log.handler());
            ASSERT_TRUE(eventually([&] { return !log.events().empty(); }));
        }
        EXPECT_EQ(log.all<CandidateValidated>().size(), c.validated);
        EXPECT_EQ(log.all<CandidateRejected>().size(), c.rejected);
        EXPECT_EQ(log.all<CandidateValidationUnavailable>().size(), c.unavailable);
    }
}

}  // namespace
}  // namespace corvanta
