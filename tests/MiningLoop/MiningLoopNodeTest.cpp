// The mining loop end to end: the real engine, the node started by the node controller, regtest.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <set>
#include <thread>

#include "LoopFakes.h"
#include "NodeHarness.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/NodeControllerSupervisor.h"
#include "corvanta/loop/PendingBlockStore.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using namespace mining_event;

const CoinbasePayoutPlan kPayToOpTrue = CoinbasePayoutPlan::everythingToMiner({0x51});

// The mining loop in a child process of the test, mining on the node with its files in `folder`;
// killed with SIGKILL at the latest when it goes out of scope.
class ChildLoop {
  public:
    ChildLoop(const RPCClient& client, const std::filesystem::path& folder) {
        std::vector<std::string> args{CORVANTA_MINING_LOOP_CHILD, client.endpoint(),
                                      client.credentials().user, client.credentials().password,
                                      folder.string()};
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~ChildLoop() { kill(); }
    ChildLoop(const ChildLoop&) = delete;
    ChildLoop& operator=(const ChildLoop&) = delete;

    bool running() const { return pid_ > 0; }
    // Ends it at once, as a crash or a power cut would.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

class MiningLoopNodeTest : public testing::NodeHarness {
  protected:
    void SetUp() override {
        NodeHarness::SetUp();
        if (IsSkipped()) return;
        controller_ = &makeController();
        client_ = controller_->startAndConnect(30s, 30s, {});
        engine_ = std::make_shared<CPUEngine>(2, 100'000);
        history_ = std::make_shared<MiningHistoryStore>(historyFile());
    }

    void TearDown() override {
        stopMining();
        NodeHarness::TearDown();
    }

    std::filesystem::path rejectedDirectory() const { return dir_.path() / "rejected"; }
    std::filesystem::path pendingDirectory() const { return rejectedDirectory() / "pending"; }
    std::filesystem::path bestDifficultyFile() const { return dir_.path() / "best.json"; }
    std::filesystem::path historyFile() const { return dir_.path() / "history" / "regtest.json"; }

    std::unique_ptr<MiningCoordinator> makeCoordinator() {
        // The harness owns the controller and outlives every coordinator of the test.
        auto supervisor = std::make_shared<NodeControllerSupervisor>(
            std::shared_ptr<NodeController>(controller_, [](NodeController*) {}));
        return std::make_unique<MiningCoordinator>(
            std::make_shared<TemplateWatcher>(client_, kPayToOpTrue, 120), engine_, client_,
            supervisor, defaultNodeRestartAttemptLimit, 50ms, rejectedDirectory(),
            BestDifficultyStore(bestDifficultyFile()), history_,
            MiningLoopTimings{.recoveryInitialPause = 50ms, .readyPollInterval = 50ms});
    }

    void runCoordinator() {
        try {
            coordinator_->run(log_.handler());
        } catch (const Cancelled&) {
            ended_ = "cancelled";
        } catch (const std::exception& error) {
            ended_ = error.what();
        }
    }

    void startMining() {
        coordinator_ = makeCoordinator();
        mining_ = std::jthread([this] { runCoordinator(); });
    }

    // The node again, under a new controller (a stopped one stays stopped), with these flags.
    void restartNodeWith(const std::string& flags) {
        stopMining();
        controller_->stop();
        setLaunchFlags(flags);
        controller_ = &makeController();
        client_ = controller_->startAndConnect(30s, 30s, {});
    }

    void stopMining() {
        if (!coordinator_) return;
        coordinator_->stop();
        if (mining_.joinable()) mining_.join();
        coordinator_.reset();
    }

    std::int64_t blockCount() const {
        return json::as<std::int64_t>(client_->call("getblockcount", {}, 10, {}));
    }

    void generate(int blocks) const {
        client_->call("generatetodescriptor",
                      {RPCParam::integer(blocks), RPCParam::string("raw(51)")}, 30, {});
    }

    std::vector<SubmissionResult> submissions() const {
        std::vector<SubmissionResult> results;
        for (const auto& event : log_.all<SubmissionResultEvent>()) results.push_back(event.result);
        return results;
    }

    // A solved block on the node's tip; `extraSats` added to the coinbase value makes it invalid.
    PendingBlock solvedPendingBlock(std::int64_t extraSats, WallClock::time_point foundAt) const {
        auto blockTemplate = BlockTemplate::fetch(*client_, std::nullopt, {});
        blockTemplate.coinbaseValue += extraSats;
        const MiningJob job(blockTemplate, kPayToOpTrue);
        const BlockMiner miner(std::make_shared<CPUEngine>(1));
        const auto outcome =
            miner.mine(job.candidate(0, std::nullopt), NonceRange(0, 1'000'000), {});
        EXPECT_TRUE(outcome);
        return PendingBlock::fromOutcome(*outcome, job.height, foundAt);
    }

    NodeController* controller_ = nullptr;
    std::shared_ptr<const RPCClient> client_;
    std::shared_ptr<CPUEngine> engine_;
    std::shared_ptr<MiningHistoryStore> history_;
    testing::EventLog log_;
    std::unique_ptr<MiningCoordinator> coordinator_;
    std::jthread mining_;
    std::string ended_;
};

TEST_F(MiningLoopNodeTest, MinesBlocksTheNodeAcceptsAndFollowsThemToMaturity) {
    const auto startHeight = blockCount();
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return submissions().size() >= 3; }));
    stopMining();
    EXPECT_EQ(ended_, "cancelled");

    for (const auto& result : submissions()) EXPECT_TRUE(result.isAccepted());
    EXPECT_GE(blockCount(), startHeight + 3);
    const auto blocks = history_->allBlocks();
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].height, startHeight + 1);
    EXPECT_EQ(blocks[0].status, FoundBlockStatus::pending);
    // Every answered block is recorded; one found as the stop came stays pending for next time.
    EXPECT_EQ(submissions().size(), blocks.size());
    EXPECT_EQ(PendingBlockStore::load(pendingDirectory()).size(),
              log_.all<BlockFound>().size() - blocks.size());

    // The all-time best is the session's best, and a later session starts from it.
    const auto stored = BestDifficultyStore(bestDifficultyFile()).load();
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, *engine_->bestDigestBigEndianBytes());
    engine_ = std::make_shared<CPUEngine>(1, 100'000);
    log_.clear();
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<BestDifficulty>().empty(); }));
    stopMining();
    EXPECT_GE(log_.all<BestDifficulty>().front().allTime, Difficulty::value(*stored));

    generate(100);
    RPCChainStatusSource chain(client_);
    history_->refreshAgainstChain(chain, {});
    EXPECT_EQ(history_->allBlocks().front().status, FoundBlockStatus::mature);
    EXPECT_GT(history_->totalAcceptedRewardSats(), 0);
}

TEST_F(MiningLoopNodeTest, ABlockMinedElsewhereReplacesTheJob) {
    engine_->setPaused(true);
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    const auto height = log_.all<TemplateReceived>().front().height;
    generate(1);
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkAbandoned>().empty(); }));
    EXPECT_EQ(log_.all<WorkAbandoned>().front().reason,
              "new template received (height " + std::to_string(height + 1) + ")");
    ASSERT_TRUE(testing::eventually([&] { return log_.all<TemplateReceived>().size() >= 2; }));
    EXPECT_EQ(log_.all<TemplateReceived>()[1].height, height + 1);
}

TEST_F(MiningLoopNodeTest, ANodeKilledWhileMiningIsRestartedAndMiningGoesOn) {
    engine_->setPaused(true);
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    ASSERT_EQ(::kill(testing::lastPid(pidFile()), SIGKILL), 0);
    // A fresh regtest chain: the restarted node is still in initial block download.
    ASSERT_TRUE(
        testing::eventually([&] { return !log_.after<WorkLoaded, NodeRestarted>().empty(); }, 60s));
    EXPECT_EQ(log_.all<NodeDied>(), std::vector<NodeDied>{{SIGKILL}});
    EXPECT_EQ(log_.all<NodeRestarted>(), std::vector<NodeRestarted>{{1}});

    // Mining goes on against the new node.
    engine_->setPaused(false);
    ASSERT_TRUE(testing::eventually([&] { return !submissions().empty(); }));
    EXPECT_TRUE(submissions().front().isAccepted());
}

TEST_F(MiningLoopNodeTest, PendingBlocksLeftOnDiskAreResubmittedAtStart) {
    const auto now = WallClock::now();
    // Oldest first: the invalid one goes first, while its parent is still the tip.
    const auto invalid = solvedPendingBlock(1, now - 10s);
    const auto valid = solvedPendingBlock(0, now);
    PendingBlockStore::write(invalid, pendingDirectory());
    PendingBlockStore::write(valid, pendingDirectory());

    const auto startHeight = blockCount();
    engine_->setPaused(true);
    startMining();
    ASSERT_TRUE(testing::eventually(
        [&] { return submissions().size() >= 2 && !log_.all<CandidateValidated>().empty(); }));
    EXPECT_EQ(submissions()[0], (SubmissionResult{SubmissionResult::Rejected{"bad-cb-amount"}}));
    EXPECT_TRUE(submissions()[1].isAccepted());
    EXPECT_TRUE(std::filesystem::is_empty(pendingDirectory()));
    // The first job is built on the block just accepted, so its candidate is a new one.
    EXPECT_EQ(log_.all<TemplateReceived>().front().height, startHeight + 2);
    EXPECT_TRUE(log_.all<CandidateRejected>().empty());

    const auto blocks = history_->allBlocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].status, FoundBlockStatus::rejected);
    EXPECT_EQ(blocks[1].status, FoundBlockStatus::pending);
    EXPECT_EQ(BitcoinEncoding::hexString(std::vector<std::uint8_t>(blocks[1].blockHash.rbegin(),
                                                                   blocks[1].blockHash.rend())),
              valid.blockHashHex);

    // The refused block is kept with the node's reason.
    std::vector<std::filesystem::path> rejected;
    for (const auto& entry : std::filesystem::directory_iterator(rejectedDirectory())) {
        if (entry.is_regular_file()) rejected.push_back(entry.path());
    }
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_TRUE(
        rejected[0].filename().string().ends_with(invalid.blockHashHex.substr(0, 16) + ".json"));
    const auto record = json::parse(readFile(rejected[0]));
    EXPECT_EQ(json::required<std::string>(record, "reason"), "bad-cb-amount");
    EXPECT_EQ(json::required<std::string>(record, "blockHex"), invalid.blockHex);
}

TEST_F(MiningLoopNodeTest, AStopDuringASubmissionPauseKeepsTheFoundBlockPending) {
    if (!usingTestNode()) GTEST_SKIP() << "needs the test node's fault control";
    restartNodeWith("-test-control=" + controlSocket().string());
    testing::sendLine(controlSocket(), R"({"cmd":"fail","method":"submitblock","drop":true})");

    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<Recovering>().empty(); }));
    EXPECT_TRUE(log_.all<Recovering>().front().reason.starts_with("submission attempt 1 failed: "));
    stopMining();  // during the pause before the second attempt
    EXPECT_EQ(ended_, "cancelled");
    ASSERT_EQ(PendingBlockStore::load(pendingDirectory()).size(), 1u);
    EXPECT_EQ(PendingBlockStore::load(pendingDirectory())[0].block.height,
              log_.all<BlockFound>().front().height);
    EXPECT_TRUE(history_->allBlocks().empty());
}

// The loop's process dies after the node took its block but before the history holds it: the
// next start records the block once, announces it once and removes its pending file.
TEST_F(MiningLoopNodeTest, ABlockAcceptedAsTheProcessDiesIsRecordedAndAnnouncedOnceAtNextStart) {
    if (!usingTestNode()) GTEST_SKIP() << "needs the test node's fault control";
    restartNodeWith("-test-control=" + controlSocket().string());
    const auto startHeight = blockCount();
    // The node takes the block at once and holds its answer back.
    testing::sendLine(controlSocket(),
                      R"({"cmd":"delay","seconds":60,"method":"submitblock","after":true})");
    {
        ChildLoop child(*client_, dir_.path());
        ASSERT_TRUE(child.running());
        ASSERT_TRUE(testing::eventually([&] { return blockCount() > startHeight; }));
        child.kill();
    }
    testing::sendLine(controlSocket(), R"({"cmd":"clear"})");
    const auto left = PendingBlockStore::load(pendingDirectory());
    ASSERT_EQ(left.size(), 1u);
    const auto& block = left[0].block;
    EXPECT_EQ(block.height, startHeight + 1);
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    EXPECT_TRUE(history_->allBlocks().empty());

    const auto displayHash = testing::bytesFromHex(block.blockHashHex);
    const std::vector<std::uint8_t> hash(displayHash.rbegin(), displayHash.rend());

    engine_->setPaused(true);
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        log_.clear();
        startMining();
        ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
        stopMining();
        // Announced at the first start only; the work that follows is built on it.
        const std::vector<BlockFound> announced{{block.height, hash, block.rewardSats}};
        EXPECT_EQ(log_.all<BlockFound>(), start == 1 ? announced : std::vector<BlockFound>{});
        EXPECT_EQ(submissions().size(), start == 1 ? 1u : 0u);
        EXPECT_EQ(log_.all<TemplateReceived>().front().height, startHeight + 2);
        EXPECT_TRUE(PendingBlockStore::load(pendingDirectory()).empty());
        const auto recorded = MiningHistoryStore(historyFile()).allBlocks();
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_EQ(recorded[0].blockHash, hash);
        EXPECT_EQ(recorded[0].status, FoundBlockStatus::pending);
    }
}

// Every stopped run may leave one long-poll that the node keeps until its tip changes; on a quiet
// chain a node with two RPC threads would then soon answer nothing at all.
TEST_F(MiningLoopNodeTest, StopAndStartOnOneTipLeaveTheNodeResponsive) {
    restartNodeWith("-rpcthreads=2");
    engine_->setPaused(true);
    coordinator_ = makeCoordinator();
    for (int cycle = 0; cycle < 20; ++cycle) {
        log_.clear();
        mining_ = std::jthread([this] { runCoordinator(); });
        ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }))
            << "no work in cycle " << cycle;
        std::this_thread::sleep_for(300ms);
        coordinator_->stop();
        mining_.join();
    }
    // A node whose threads all hold long-polls answers nothing until its tip changes, which on
    // this quiet chain is never: an answer at all is the proof.
    EXPECT_NO_THROW(client_->call("getblockcount", {}, 30, {}));
    log_.clear();
    mining_ = std::jthread([this] { runCoordinator(); });
    EXPECT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
}

// How long a job takes from its template to its first candidate (the `workLoaded` figure), on an
// empty template and on a large one, which the node must also accept as a proposal. The size is
// CORVANTA_LARGE_TEMPLATE_TRANSACTIONS (default 500, to keep the suite quick; 4,000 for a
// measurement).
TEST_F(MiningLoopNodeTest, LoadsWorkFromALargeTemplate) {
    if (!usingTestNode()) GTEST_SKIP() << "needs the test node's mempool control";
    restartNodeWith("-test-control=" + controlSocket().string());
    engine_->setPaused(true);
    // As a session does before it mines: the self-test also settles the hashing backend.
    ASSERT_TRUE(std::holds_alternative<EngineSelfTest::Passed>(EngineSelfTest::run()));

    const auto loadOnce = [&](const char* name) {
        log_.clear();
        startMining();
        EXPECT_TRUE(testing::eventually(
            [&] {
                return !log_.all<WorkLoaded>().empty() && !log_.all<CandidateValidated>().empty();
            },
            120s));
        stopMining();
        const auto loaded = log_.all<WorkLoaded>().front();
        RecordProperty(name, std::to_string(loaded.milliseconds));
        std::printf("workLoaded, %s: %.3f ms\n", name, loaded.milliseconds);
        return log_.all<CandidateValidated>().front().transactionCount;
    };
    generate(101);
    EXPECT_EQ(loadOnce("emptyTemplateMilliseconds"), 1);

    const char* configured = std::getenv("CORVANTA_LARGE_TEMPLATE_TRANSACTIONS");
    const int transactions = configured != nullptr ? std::atoi(configured) : 500;
    for (int i = 0; i < transactions; ++i) {
        const auto reply =
            testing::sendLine(controlSocket(), R"({"cmd":"mempool-add","fee":1000})");
        ASSERT_NE(reply.find("\"ok\": true"), std::string::npos) << reply;
    }
    EXPECT_EQ(loadOnce("largeTemplateMilliseconds"), transactions + 1);
}

// Blocks an earlier session found but could not write down (a full disk, then a quit) are on the
// chain, paying the payout script: the next run puts each back into the history, once.
TEST_F(MiningLoopNodeTest, BlocksTheHistoryMissedComeBackFromTheChainOnce) {
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return history_->allBlocks().size() >= 2; }));
    stopMining();
    const auto recorded = history_->allBlocks().size();
    // A block found as the stop came stays pending and is settled at the next start, before the
    // chain is walked: it may add one record that is not the walk's.
    const auto pending = PendingBlockStore::load(pendingDirectory()).size();
    // Three of ours the history never heard of, between two of someone else's.
    client_->call("generatetodescriptor", {RPCParam::integer(1), RPCParam::string("raw(52)")}, 30,
                  {});
    generate(3);
    client_->call("generatetodescriptor", {RPCParam::integer(1), RPCParam::string("raw(52)")}, 30,
                  {});
    const auto tip = blockCount();

    engine_->setPaused(true);
    log_.clear();
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    const auto notices = log_.all<StoreNotice>();
    ASSERT_EQ(notices.size(), 3u);
    const auto check = [&](const std::vector<FoundBlock>& blocks) {
        ASSERT_GE(blocks.size(), recorded + 3);
        ASSERT_LE(blocks.size(), recorded + pending + 3);
        std::set<std::vector<std::uint8_t>> hashes;
        for (const auto& block : blocks) hashes.insert(block.blockHash);
        EXPECT_EQ(hashes.size(), blocks.size());
        for (std::int64_t height = tip - 3; height < tip; ++height) {
            const auto found = std::find_if(blocks.begin(), blocks.end(), [&](const FoundBlock& b) {
                return b.height == height;
            });
            ASSERT_NE(found, blocks.end()) << "no record at height " << height;
            EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(),
                                    [&](const FoundBlock& b) { return b.height == height; }),
                      1);
            EXPECT_GT(found->rewardSats, 0);
            const std::vector<std::uint8_t> displayOrder(found->blockHash.rbegin(),
                                                         found->blockHash.rend());
            const auto header =
                client_->call("getblockheader",
                              {RPCParam::string(BitcoinEncoding::hexString(displayOrder))}, 10, {});
            EXPECT_EQ(json::as<std::int64_t>(header["height"]), height);
        }
    };
    check(history_->allBlocks());
    check(MiningHistoryStore(historyFile()).allBlocks());

    // Nothing more the next time.
    const auto settled = history_->allBlocks().size();
    log_.clear();
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    EXPECT_TRUE(log_.all<StoreNotice>().empty());
    EXPECT_EQ(history_->allBlocks().size(), settled);
}

}  // namespace
}  // namespace corvanta
