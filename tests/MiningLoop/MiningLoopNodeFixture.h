// The mining loop against a real node: the fixture and what the tests read of the chain.
#pragma once

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <set>
#include <thread>

#include "LoopFakes.h"
#include "NodeHarness.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/loop/BlockCoinbase.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/InstallationRecord.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/NodeControllerSupervisor.h"
#include "corvanta/loop/PendingBlockStore.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/mining/EngineSelfTest.h"
#include "corvanta/mining/Target.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta::testing {

using namespace std::chrono_literals;
using namespace mining_event;

// The installation of a folder mining to OP_TRUE, as the loop's child process derives it.
inline BlockOwnership ownershipOf(const std::filesystem::path& folder) {
    return {{0x51}, BlockOwnership::markForThisUser(folder, Bytes{0x51})};
}

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

class MiningLoopNodeTest : public NodeHarness {
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

    // For this test's installation by default; another's mines with its own ownership, history
    // and folder.
    std::unique_ptr<MiningCoordinator> makeCoordinator(
        std::optional<BlockOwnership> ownership = {},
        std::shared_ptr<MiningHistoryStore> history = {},
        std::optional<std::filesystem::path> rejected = {}, std::filesystem::path walkRecord = {},
        std::shared_ptr<InstallationRecord> installation = {}) {
        // The harness owns the controller and outlives every coordinator of the test.
        auto supervisor = std::make_shared<NodeControllerSupervisor>(
            std::shared_ptr<NodeController>(controller_, [](NodeController*) {}));
        const auto owner = ownership.value_or(ownershipOf(dir_.path()));
        return std::make_unique<MiningCoordinator>(
            std::make_shared<TemplateWatcher>(client_, owner.payoutPlan(), TemplateRules::segwit,
                                              120),
            engine_, client_, supervisor, defaultNodeRestartAttemptLimit, 50ms,
            rejected.value_or(rejectedDirectory()), BestDifficultyStore(bestDifficultyFile()),
            history ? history : history_, owner, walkRecord,
            MiningLoopTimings{.recoveryInitialPause = 50ms, .readyPollInterval = 50ms},
            std::move(installation));
    }

    // This test's installation as a session keeps it: the key beside the stores, read afresh as
    // each start reads it, and the ownership it gives for a payout script.
    std::shared_ptr<InstallationRecord> installationRecord() const {
        return std::make_shared<InstallationRecord>(
            dir_.path(), InstallationKey::keptIn(dir_.path(), historyFile().parent_path()),
            "regtest");
    }
    BlockOwnership keyedOwnership(Bytes script) const {
        return BlockOwnership::of(installationRecord()->key(), std::move(script));
    }
    std::filesystem::path walkRecordFile() const {
        return dataDirectory() / "found-blocks-walked.json";
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

    void startMining() { startMining(makeCoordinator()); }
    void startMining(std::unique_ptr<MiningCoordinator> coordinator) {
        coordinator_ = std::move(coordinator);
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
    // `plan` stands for another miner's, or for this installation's earlier one.
    PendingBlock solvedPendingBlock(std::int64_t extraSats, WallClock::time_point foundAt,
                                    std::optional<CoinbasePayoutPlan> plan = {}) const {
        auto blockTemplate =
            BlockTemplate::fetch(*client_, TemplateRules::segwit, std::nullopt, {});
        blockTemplate.coinbaseValue += extraSats;
        const MiningJob job(blockTemplate, plan.value_or(ownershipOf(dir_.path()).payoutPlan()),
                            TemplateRules::segwit);
        const BlockMiner miner(std::make_shared<CPUEngine>(1));
        const auto outcome =
            miner.mine(job.candidate(0, std::nullopt), NonceRange(0, 1'000'000), {});
        EXPECT_TRUE(outcome);
        return PendingBlock::fromOutcome(*outcome, job.height, foundAt);
    }

    std::string tipHash() const {
        return json::as<std::string>(client_->call("getbestblockhash", {}, 10, {}));
    }

    // Starts this installation's loop with the hashing paused, until its first work, and stops
    // it: a start that only resubmits what it finds pending.
    void startWithoutHashing(std::optional<BlockOwnership> ownership = {}) {
        log_.clear();
        engine_->setPaused(true);
        startMining(makeCoordinator(std::move(ownership)));
        ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
        stopMining();
    }

    std::vector<std::string> notices() const {
        std::vector<std::string> messages;
        for (const auto& notice : log_.all<StoreNotice>()) messages.push_back(notice.message);
        return messages;
    }

    std::size_t setAsideFiles() const {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(pendingDirectory())) {
            count += entry.path().filename().string().starts_with("set-aside-pending-");
        }
        return count;
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

// This installation's blocks on the chain, by height: read whole, as only a test may.
inline std::map<std::int64_t, std::vector<std::uint8_t>> blocksOf(const RPCClient& client,
                                                                  const BlockOwnership& owner) {
    std::map<std::int64_t, std::vector<std::uint8_t>> found;
    const auto tip = json::as<std::int64_t>(client.call("getblockcount", {}, 10, {}));
    for (std::int64_t height = 0; height <= tip; ++height) {
        const auto hash =
            json::as<std::string>(client.call("getblockhash", {RPCParam::integer(height)}, 10, {}));
        std::string blockHex;
        try {
            blockHex = json::as<std::string>(
                client.call("getblock", {RPCParam::string(hash), RPCParam::integer(0)}, 10, {}));
        } catch (const RPCError&) {
            continue;  // pruned: nobody can tell any more
        }
        const auto coinbase = BlockCoinbase::decode(testing::bytesFromHex(blockHex));
        if (coinbase && owner.judge(*coinbase) == BlockOwnership::Verdict::ours) {
            found[height] =
                std::vector<std::uint8_t>(coinbase->blockHash.begin(), coinbase->blockHash.end());
        }
    }
    return found;
}

// The walk's place, as the file holds it.
inline std::optional<HistoryReconciliation::WalkedThrough> placeOf(
    const std::filesystem::path& walkRecord) {
    const auto reading = HistoryReconciliation::readWalkPlace(walkRecord);
    EXPECT_FALSE(reading.problem) << *reading.problem;
    return reading.place;
}

inline std::map<std::int64_t, std::vector<std::uint8_t>> byHeight(
    const std::vector<FoundBlock>& blocks) {
    std::map<std::int64_t, std::vector<std::uint8_t>> found;
    for (const auto& block : blocks) {
        EXPECT_TRUE(found.emplace(block.height, block.blockHash).second)
            << "two records at height " << block.height;
    }
    return found;
}

// The records whose block is on the node's active chain, by height. A block submitted as a run
// stopped may reach the node only after the next run took its template, and lose to that run's
// block: it is recorded all the same, and the chain refresh marks it orphaned later.
inline std::map<std::int64_t, std::vector<std::uint8_t>> onChain(
    const RPCClient& client, const std::vector<FoundBlock>& blocks) {
    std::vector<FoundBlock> kept;
    for (const auto& block : blocks) {
        const auto hashHex = json::as<std::string>(
            client.call("getblockhash", {RPCParam::integer(block.height)}, 10, {}));
        const std::vector<std::uint8_t> display(block.blockHash.rbegin(), block.blockHash.rend());
        if (BitcoinEncoding::hexString(display) == hashHex) kept.push_back(block);
    }
    return byHeight(kept);
}

}  // namespace corvanta::testing
