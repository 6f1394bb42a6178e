// The mining loop end to end: the real engine, the node started by the node controller, regtest.
#include "MiningLoopNodeFixture.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using namespace mining_event;
using namespace corvanta::testing;

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

// A block the loop finds is dated when it met its target, not when the node's slow answer to its
// submission came, and the verdict names the block it is on: its height, not the next job's.
TEST_F(MiningLoopNodeTest, AFoundBlockIsDatedWhenItMetItsTargetAndItsVerdictNamesIt) {
    if (!usingTestNode()) GTEST_SKIP() << "needs the test node's fault control";
    restartNodeWith("-test-control=" + controlSocket().string());
    testing::sendLine(controlSocket(),
                      R"({"cmd":"delay","seconds":3,"method":"submitblock","after":true})");
    std::mutex mutex;
    std::optional<WallClock::time_point> announcedAt;
    std::optional<WallClock::time_point> answeredAt;
    coordinator_ = makeCoordinator();
    mining_ = std::jthread([&] {
        try {
            coordinator_->run([&](const MiningEvent& event) {
                log_.handler()(event);
                std::lock_guard lock(mutex);
                if (std::holds_alternative<BlockFound>(event) && !announcedAt) {
                    announcedAt = WallClock::now();
                }
                if (std::holds_alternative<SubmissionResultEvent>(event) && !answeredAt) {
                    answeredAt = WallClock::now();
                }
            });
        } catch (const std::exception&) {
        }
    });
    ASSERT_TRUE(testing::eventually([&] {
        std::lock_guard lock(mutex);
        return answeredAt.has_value();
    }));
    stopMining();
    testing::sendLine(controlSocket(), R"({"cmd":"clear"})");
    const auto recorded = MiningHistoryStore(historyFile()).allBlocks();
    ASSERT_FALSE(recorded.empty());
    ASSERT_GE(*answeredAt - *announcedAt, 3s);
    // Whole seconds: never later than the find was announced, so never at the answer.
    EXPECT_LE(recorded.front().foundAt, *announcedAt);
    const auto found = log_.all<BlockFound>();
    const auto verdicts = log_.all<SubmissionResultEvent>();
    ASSERT_FALSE(verdicts.empty());
    ASSERT_GE(found.size(), verdicts.size());
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        EXPECT_EQ(verdicts[i].height, found[i].height);
        EXPECT_EQ(verdicts[i].hash, found[i].hash);
    }
    EXPECT_EQ(recorded.front().height, found.front().height);
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

// Blocks this installation found but could not write down (a full disk, then a quit) come back
// from the chain once, by their mark: never those another installation mined to the same address,
// nor those the node mined to it.
TEST_F(MiningLoopNodeTest, OnlyThisInstallationsMissedBlocksComeBackFromTheChainOnce) {
    const auto otherFolder = dir_.path() / "other";
    const auto other = ownershipOf(otherFolder);
    ASSERT_NE(other.mark, ownershipOf(dir_.path()).mark);
    const auto otherHistory =
        std::make_shared<MiningHistoryStore>(otherFolder / "history" / "regtest.json");
    const auto mineUntil = [&](std::unique_ptr<MiningCoordinator> coordinator,
                               const std::shared_ptr<MiningHistoryStore>& history, std::size_t n) {
        startMining(std::move(coordinator));
        const auto found = testing::eventually([&] { return history->allBlocks().size() >= n; });
        stopMining();  // before the test may end: a run left going would mine beside the next
        return found;
    };
    ASSERT_TRUE(
        mineUntil(makeCoordinator(other, otherHistory, otherFolder / "rejected"), otherHistory, 2));
    // Ours, written into a history that is then lost.
    const auto lost = std::make_shared<MiningHistoryStore>(dir_.path() / "lost" / "regtest.json");
    ASSERT_TRUE(mineUntil(makeCoordinator({}, lost), lost, 3));
    generate(2);  // the node's own, to the same script
    client_->call("generatetodescriptor", {RPCParam::integer(1), RPCParam::string("raw(52)")}, 30,
                  {});
    ASSERT_TRUE(
        mineUntil(makeCoordinator(other, otherHistory, otherFolder / "rejected"), otherHistory, 3));

    const auto walkRecord = dataDirectory() / "found-blocks-walked.json";
    engine_->setPaused(true);
    log_.clear();
    startMining(makeCoordinator({}, {}, {}, walkRecord));
    ASSERT_TRUE(testing::eventually([&] { return placeOf(walkRecord).has_value(); }));
    stopMining();

    const auto ours = blocksOf(*client_, ownershipOf(dir_.path()));
    ASSERT_GE(ours.size(), 3u);
    EXPECT_EQ(onChain(*client_, history_->allBlocks()), ours);
    EXPECT_EQ(onChain(*client_, MiningHistoryStore(historyFile()).allBlocks()), ours);
    for (const auto& block : history_->allBlocks()) EXPECT_GT(block.rewardSats, 0);
    // The other installation's history holds its own blocks only.
    const auto theirs = blocksOf(*client_, other);
    for (const auto& [height, hash] : onChain(*client_, otherHistory->allBlocks())) {
        EXPECT_EQ(theirs.count(height), 1u) << height;
        EXPECT_EQ(ours.count(height), 0u) << height;
    }
    const auto walked = placeOf(walkRecord);
    ASSERT_TRUE(walked);
    EXPECT_EQ(walked->height, blockCount());

    // Nothing more the next time.
    const auto settled = history_->allBlocks().size();
    log_.clear();
    startMining(makeCoordinator({}, {}, {}, walkRecord));
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    EXPECT_TRUE(log_.all<StoreNotice>().empty());
    EXPECT_EQ(history_->allBlocks().size(), settled);
}

// A pending file is judged by the block it holds, never by what the file says of it.
TEST_F(MiningLoopNodeTest, APendingFileCountsOnlyForABlockOfOurs) {
    const auto otherFolder = dir_.path() / "other";
    const auto otherHistory =
        std::make_shared<MiningHistoryStore>(otherFolder / "history" / "regtest.json");
    startMining(makeCoordinator(ownershipOf(otherFolder), otherHistory, otherFolder / "rejected"));
    ASSERT_TRUE(testing::eventually([&] { return !otherHistory->allBlocks().empty(); }));
    stopMining();
    const auto now = WallClock::now();
    const auto blockFile = [&](std::int64_t height, std::int64_t rewardSats,
                               WallClock::time_point foundAt) {
        const auto hash = json::as<std::string>(
            client_->call("getblockhash", {RPCParam::integer(height)}, 10, {}));
        return PendingBlock{
            .height = height,
            .blockHashHex = hash,
            .blockHex = json::as<std::string>(
                client_->call("getblock", {RPCParam::string(hash), RPCParam::integer(0)}, 10, {})),
            .coinbaseTxIDHex = std::string(64, 'a'),
            .rewardSats = rewardSats,
            .foundAt = wholeSeconds(foundAt)};
    };
    // The genesis block, claiming 20 million BTC; another installation's block to our address.
    PendingBlockStore::write(blockFile(0, 2'000'000'000'000'000, now - 20s), pendingDirectory());
    PendingBlockStore::write(blockFile(otherHistory->allBlocks().front().height, 1, now - 10s),
                             pendingDirectory());
    // Ours, with a file that lies about its height and reward.
    auto own = solvedPendingBlock(0, now);
    const auto ownHeight = own.height;
    own.height += 7;
    own.rewardSats = 1;
    PendingBlockStore::write(own, pendingDirectory());

    log_.clear();
    engine_->setPaused(true);
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    const auto blocks = history_->allBlocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].height, ownHeight);
    EXPECT_EQ(blocks[0].rewardSats, 5'000'000'000);  // what the coinbase pays on regtest
    EXPECT_EQ(log_.all<BlockFound>().size(), 1u);
    const auto notCounted = notices();
    ASSERT_EQ(notCounted.size(), 2u);
    EXPECT_NE(notCounted[0].find("does not pay the payout address"), std::string::npos);
    EXPECT_NE(notCounted[1].find("another installation's mark"), std::string::npos);
    EXPECT_TRUE(PendingBlockStore::load(pendingDirectory()).empty());
    std::size_t setAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(pendingDirectory())) {
        setAside += entry.path().filename().string().starts_with("set-aside-pending-");
    }
    EXPECT_EQ(setAside, 2u);
}

// Another installation mining to the same address left its block in this installation's folder:
// the node takes it as new (its reward is the user's), but it is never counted here.
TEST_F(MiningLoopNodeTest, AnotherInstallationsBlockTheNodeTakesAsNewIsNeverCounted) {
    const auto theirs =
        solvedPendingBlock(0, WallClock::now(), ownershipOf(dir_.path() / "other").payoutPlan());
    PendingBlockStore::write(theirs, pendingDirectory());
    startWithoutHashing();
    EXPECT_EQ(tipHash(), theirs.blockHashHex);
    EXPECT_TRUE(history_->allBlocks().empty());
    EXPECT_TRUE(log_.all<BlockFound>().empty());
    EXPECT_TRUE(log_.all<SubmissionResultEvent>().empty());
    const auto said = notices();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("another installation's mark: submitted, never counted"),
              std::string::npos)
        << said[0];
    EXPECT_EQ(setAsideFiles(), 1u);
}

// Our own block with another nonce, its hash recomputed so that the file decodes: its header never
// met its target. Set aside once, never submitted, never counted.
TEST_F(MiningLoopNodeTest, APendingFileWhoseHeaderMissesItsTargetIsSetAsideUnsubmitted) {
    auto block = solvedPendingBlock(0, WallClock::now());
    auto bytes = *BitcoinEncoding::hexBytes(block.blockHex);
    const auto bits = std::uint32_t(bytes[72]) | std::uint32_t(bytes[73]) << 8 |
                      std::uint32_t(bytes[74]) << 16 | std::uint32_t(bytes[75]) << 24;
    const auto target = *Target::fromCompactBits(bits);
    do {
        ++bytes[76];
    } while (target.isMet(doubleSHA256(std::span(bytes).first(80))));
    const auto header = doubleSHA256(std::span(bytes).first(80));
    block.blockHex = BitcoinEncoding::hexString(bytes);
    block.blockHashHex = BitcoinEncoding::hexString(Bytes(header.rbegin(), header.rend()));
    PendingBlockStore::write(block, pendingDirectory());
    const auto tip = tipHash();

    startWithoutHashing();
    EXPECT_EQ(tipHash(), tip);
    EXPECT_TRUE(log_.all<SubmissionResultEvent>().empty());
    EXPECT_TRUE(log_.all<BlockFound>().empty());
    EXPECT_TRUE(history_->allBlocks().empty());
    ASSERT_EQ(notices().size(), 1u);
    EXPECT_NE(notices()[0].find("does not meet its target"), std::string::npos) << notices()[0];
    EXPECT_EQ(setAsideFiles(), 1u);

    startWithoutHashing();
    EXPECT_TRUE(notices().empty());
    EXPECT_TRUE(history_->allBlocks().empty());
}

// A block found by the version before the mark, accepted by the node, whose record was never
// written: at the next start the node answers "duplicate", and it is counted, once.
TEST_F(MiningLoopNodeTest, AnAcceptedBlockOfTheVersionBeforeTheMarkIsCountedOnce) {
    const auto block =
        solvedPendingBlock(0, WallClock::now(), CoinbasePayoutPlan::everythingToMiner(Bytes{0x51}));
    const auto coinbase = BlockCoinbase::decode(*BitcoinEncoding::hexBytes(block.blockHex));
    ASSERT_TRUE(coinbase);
    client_->callOptional("submitblock", {RPCParam::string(block.blockHex)}, 30, {});
    ASSERT_EQ(tipHash(), block.blockHashHex);
    PendingBlockStore::write(block, pendingDirectory());
    // The key this installation derived when the version with the mark first ran: after the block.
    const InstallationKey key{"machine", 1000, dir_.path().string(),
                              WholeSeconds(std::chrono::seconds(coinbase->time + 1))};
    const auto owner = BlockOwnership::of(key, Bytes{0x51});

    startWithoutHashing(owner);
    ASSERT_EQ(submissions().size(), 1u);  // the node's "duplicate"
    EXPECT_TRUE(submissions()[0].isAccepted());
    const auto blocks = history_->allBlocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].height, block.height);
    EXPECT_EQ(blocks[0].rewardSats, coinbase->satsPaidTo(Bytes{0x51}));
    EXPECT_EQ(log_.all<BlockFound>().size(), 1u);
    EXPECT_TRUE(PendingBlockStore::load(pendingDirectory()).empty());

    startWithoutHashing(owner);
    EXPECT_TRUE(log_.all<BlockFound>().empty());
    EXPECT_EQ(MiningHistoryStore(historyFile()).allBlocks().size(), 1u);
}

// An unmarked block from before the key that pays someone else is no block of ours, however old.
TEST_F(MiningLoopNodeTest, AnUnmarkedBlockFromBeforeTheMarkPayingSomeoneElseIsNeverCounted) {
    const auto block =
        solvedPendingBlock(0, WallClock::now(), CoinbasePayoutPlan::everythingToMiner(Bytes{0x52}));
    const auto coinbase = BlockCoinbase::decode(*BitcoinEncoding::hexBytes(block.blockHex));
    ASSERT_TRUE(coinbase);
    PendingBlockStore::write(block, pendingDirectory());
    const InstallationKey key{"machine", 1000, dir_.path().string(),
                              WholeSeconds(std::chrono::seconds(coinbase->time + 1))};

    startWithoutHashing(BlockOwnership::of(key, Bytes{0x51}));
    EXPECT_TRUE(history_->allBlocks().empty());
    EXPECT_TRUE(log_.all<BlockFound>().empty());
    EXPECT_EQ(setAsideFiles(), 1u);
}

// The payout address changed while a found block waited in the folder: the block, which pays the
// earlier address and carries this installation's mark for it, is submitted and counted once, with
// the reward it pays there.
TEST_F(MiningLoopNodeTest, APendingBlockForAnEarlierPayoutAddressIsSubmittedAndCountedOnce) {
    const InstallationKey key{"machine", 1000, dir_.path().string(),
                              wholeSeconds(WallClock::now())};
    const Bytes earlier{0x52};
    const auto block =
        solvedPendingBlock(0, WallClock::now(), BlockOwnership::of(key, earlier).payoutPlan());
    const auto coinbase = BlockCoinbase::decode(*BitcoinEncoding::hexBytes(block.blockHex));
    ASSERT_TRUE(coinbase);
    PendingBlockStore::write(block, pendingDirectory());
    const auto owner = BlockOwnership::of(key, Bytes{0x51});

    startWithoutHashing(owner);
    EXPECT_EQ(tipHash(), block.blockHashHex);
    ASSERT_EQ(submissions().size(), 1u);
    EXPECT_TRUE(submissions()[0].isAccepted());
    const auto blocks = history_->allBlocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].height, block.height);
    EXPECT_GT(blocks[0].rewardSats, 0);
    EXPECT_EQ(blocks[0].rewardSats, coinbase->satsPaidTo(earlier));
    EXPECT_EQ(log_.all<BlockFound>().size(), 1u);
    EXPECT_TRUE(notices().empty());

    startWithoutHashing(owner);
    EXPECT_TRUE(log_.all<BlockFound>().empty());
    EXPECT_EQ(MiningHistoryStore(historyFile()).allBlocks().size(), 1u);
}

// Where the walk starts: just above its place, which vouches for every block of ours below it;
// from the first height mined when the history holds less than the place vouches for.
TEST_F(MiningLoopNodeTest, TheWalkStartsAboveItsPlaceUnlessTheHistoryLostWhatItVouchedFor) {
    const auto owner = ownershipOf(dir_.path());
    const auto thrown = std::make_shared<MiningHistoryStore>(dir_.path() / "thrown" / "h.json");
    // Each run ends before the test may: a run left going would mine beside the next.
    // Counted on the chain: a block found as a run stops may lose to the next run's.
    const auto mineUntil = [&](std::size_t n) {
        startMining(makeCoordinator({}, thrown));
        const auto found =
            testing::eventually([&] { return onChain(*client_, thrown->allBlocks()).size() >= n; });
        stopMining();
        return found;
    };
    ASSERT_TRUE(mineUntil(2));
    const auto placeHeight = blockCount();
    generate(3);
    ASSERT_TRUE(mineUntil(4));
    const auto tip = blockCount();
    const auto ours = blocksOf(*client_, owner);
    ASSERT_GE(ours.size(), 4u);
    ASSERT_LE(ours.begin()->first, placeHeight);
    const auto hashAt = [&](std::int64_t height) {
        return json::as<std::string>(
            client_->call("getblockhash", {RPCParam::integer(height)}, 10, {}));
    };
    const auto heightsOf = [](const std::vector<FoundBlock>& blocks) {
        std::vector<std::int64_t> heights;
        for (const auto& block : blocks) heights.push_back(block.height);
        return heights;
    };
    const auto heightsAbove = [&](std::int64_t height) {
        std::vector<std::int64_t> heights;
        for (const auto& [h, hash] : ours) {
            if (h > height) heights.push_back(h);
        }
        return heights;
    };

    HistoryReconciliation::WalkStart place{
        HistoryReconciliation::WalkedThrough{placeHeight, hashAt(placeHeight), 0},
        ours.begin()->first};
    MiningHistoryStore above(dir_.path() / "above" / "h.json");
    auto walk = HistoryReconciliation::reconcile(above, *client_, owner, place, tip, 30, {});
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.from, placeHeight + 1);
    EXPECT_EQ(heightsOf(walk.added), heightsAbove(placeHeight));

    // The same place vouching for two records at or below it, of which this history holds none.
    place.place->records = 2;
    MiningHistoryStore rebuilt(dir_.path() / "rebuilt" / "h.json");
    walk = HistoryReconciliation::reconcile(rebuilt, *client_, owner, place, tip, 30, {});
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.from, ours.begin()->first);
    EXPECT_EQ(byHeight(walk.added), ours);
    // Once whole again, the place is trusted.
    walk = HistoryReconciliation::reconcile(rebuilt, *client_, owner, place, tip, 30, {});
    EXPECT_EQ(walk.from, placeHeight + 1);
    EXPECT_TRUE(walk.added.empty());
    EXPECT_EQ(byHeight(rebuilt.allBlocks()), ours);
}

// Room again after a run that could write nothing: what the loop held is written at once, history
// first, and only then do the pending files of those blocks go.
TEST_F(MiningLoopNodeTest, BlocksHeldInMemoryAreWrittenOnceThereIsRoomAgain) {
    const auto historyFolder = historyFile().parent_path();
    testing::writeText(historyFolder, "a file where the history folder should be");
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    startMining();
    ASSERT_TRUE(testing::eventually([&] { return history_->allBlocks().size() >= 2; }));
    EXPECT_FALSE(coordinator_->saveHeldInMemory());
    const auto pendingHashes = [&] {
        std::set<std::string> hashes;
        for (const auto& entry : PendingBlockStore::load(pendingDirectory())) {
            hashes.insert(entry.block.blockHashHex);
        }
        return hashes;
    };
    const auto displayHashOf = [](const FoundBlock& block) {
        return BitcoinEncoding::hexString(
            std::vector<std::uint8_t>(block.blockHash.rbegin(), block.blockHash.rend()));
    };
    // Not on disk in the history: each stays a pending file.
    for (const auto& block : history_->allBlocks()) {
        EXPECT_EQ(pendingHashes().count(displayHashOf(block)), 1u) << block.height;
    }

    // The run ends, so that no record of the loop's own writes what was held in its place; what
    // it held outlives the run.
    coordinator_->stop();
    mining_.join();
    std::filesystem::remove(historyFolder);
    const auto held = history_->allBlocks();
    ASSERT_TRUE(coordinator_->saveHeldInMemory());
    const auto onDisk = byHeight(MiningHistoryStore(historyFile()).allBlocks());
    const auto stillPending = pendingHashes();
    for (const auto& block : held) {
        EXPECT_EQ(onDisk.count(block.height), 1u) << block.height;
        EXPECT_EQ(stillPending.count(displayHashOf(block)), 0u) << block.height;
    }
    stopMining();
}

// A full disk all through a run, then a long absence: what the run held in memory comes back from
// the chain however far it has grown, since the place never moved past it.
TEST_F(MiningLoopNodeTest, BlocksHeldInMemoryComeBackHoweverFarTheChainHasGrown) {
    const auto owner = ownershipOf(dir_.path());
    const auto walkRecord = dataDirectory() / "found-blocks-walked.json";
    // Neither the history nor a pending file can be written.
    const auto historyFolder = historyFile().parent_path();
    testing::writeText(historyFolder, "no room");
    testing::writeText(rejectedDirectory(), "no room");
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    startMining(makeCoordinator({}, {}, {}, walkRecord, installationRecord()));
    ASSERT_TRUE(testing::eventually([&] { return history_->allBlocks().size() >= 3; }));
    stopMining();
    const auto held = byHeight(history_->allBlocks());
    EXPECT_FALSE(history_->isSaved());
    // How deep it mined is kept apart from the history that could not be written.
    const auto mined = installationRecord()->mined();
    ASSERT_EQ(mined.marks.count(owner.mark), 1u);
    EXPECT_LE(mined.marks.at(owner.mark), held.begin()->first);
    if (const auto place = placeOf(walkRecord)) {
        EXPECT_LT(place->height, held.begin()->first);
    }

    std::filesystem::remove(historyFolder);
    std::filesystem::remove(rejectedDirectory());
    for (int hundred = 0; hundred < 11; ++hundred) generate(100);
    const auto tip = blockCount();
    ASSERT_GE(tip, held.rbegin()->first + 1100);

    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    ASSERT_TRUE(history_->allBlocks().empty());
    engine_->setPaused(true);
    log_.clear();
    startMining(makeCoordinator({}, {}, {}, walkRecord, installationRecord()));
    ASSERT_TRUE(testing::eventually(
        [&] {
            const auto walked = placeOf(walkRecord);
            return walked && walked->height == tip;
        },
        testing::patience * 4));
    stopMining();
    const auto ours = blocksOf(*client_, owner);
    for (const auto& [height, hash] : held) EXPECT_EQ(ours.count(height), 1u) << height;
    EXPECT_EQ(onChain(*client_, MiningHistoryStore(historyFile()).allBlocks()), ours);
    // One line, however many came back.
    ASSERT_EQ(log_.all<StoreNotice>().size(), 1u);
    EXPECT_TRUE(log_.all<StoreNotice>()[0].message.starts_with(std::to_string(ours.size()) +
                                                               " blocks at heights "))
        << log_.all<StoreNotice>()[0].message;
    std::printf(
        "held in memory: %zu blocks at heights %lld to %lld; tip at the next start %lld; "
        "ours on the chain %zu, in the history %zu\n",
        held.size(), static_cast<long long>(held.begin()->first),
        static_cast<long long>(held.rbegin()->first), static_cast<long long>(tip), ours.size(),
        MiningHistoryStore(historyFile()).allBlocks().size());
}

// The history deleted, then damaged, while the walk's place is kept: each time every block of ours
// comes back from the chain, once.
TEST_F(MiningLoopNodeTest, ALostHistoryIsRebuiltFromTheChainOnce) {
    const auto owner = ownershipOf(dir_.path());
    const auto walkRecord = dataDirectory() / "found-blocks-walked.json";
    startMining(makeCoordinator({}, {}, {}, walkRecord));
    ASSERT_TRUE(testing::eventually([&] { return history_->allBlocks().size() >= 3; }));
    stopMining();
    // A block found as the stop came would be resubmitted and counted at the next start.
    std::filesystem::remove_all(pendingDirectory());
    RPCChainStatusSource chain(client_);
    const auto ours = blocksOf(*client_, owner);
    ASSERT_EQ(onChain(*client_, MiningHistoryStore(historyFile()).allBlocks()), ours);
    const auto place = placeOf(walkRecord);
    ASSERT_TRUE(place);
    // It vouches for the blocks below the last job, on disk: a block found as the stop came may
    // lie above it.
    const auto vouched = std::count_if(
        ours.begin(), ours.end(), [&](const auto& block) { return block.first <= place->height; });
    EXPECT_EQ(place->records, vouched);
    ASSERT_GT(vouched, 0);

    const auto rebuiltOnce = [&](const char* how) {
        SCOPED_TRACE(how);
        history_ = std::make_shared<MiningHistoryStore>(historyFile());
        EXPECT_TRUE(history_->allBlocks().empty());
        engine_->setPaused(true);
        log_.clear();
        startMining(makeCoordinator({}, {}, {}, walkRecord));
        const auto back = testing::eventually([&] {
            return history_->allBlocks().size() >= ours.size() &&
                   log_.all<StoreNotice>().size() >= 1;
        });
        stopMining();
        EXPECT_TRUE(back);
        EXPECT_EQ(onChain(*client_, history_->allBlocks()), ours);
        EXPECT_EQ(onChain(*client_, MiningHistoryStore(historyFile()).allBlocks()), ours);
        std::printf("%s: %zu of %zu blocks of ours back, %zu records\n", how,
                    byHeight(history_->allBlocks()).size(), ours.size(),
                    history_->allBlocks().size());
    };
    std::filesystem::remove_all(historyFile().parent_path());
    rebuiltOnce("history deleted");

    history_->refreshAgainstChain(chain, {});  // all in the file itself
    ASSERT_FALSE(std::filesystem::exists(history_->journalURL()));
    testing::writeText(historyFile(), R"([{"height":)");
    rebuiltOnce("history file damaged");
    std::size_t setAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(historyFile().parent_path())) {
        setAside += entry.path().filename().string().starts_with("regtest.unreadable-");
    }
    EXPECT_EQ(setAside, 1u);
}

// A walk record it cannot take is set aside by rename, said once, and only then written afresh.
TEST_F(MiningLoopNodeTest, AWalkRecordItCannotTakeIsSetAsideBeforeAnotherIsWrittenInItsPlace) {
    const auto walkRecord = dataDirectory() / "found-blocks-walked.json";
    const std::string damaged = R"({"marks":{"0102)";
    testing::writeText(walkRecord, damaged);
    engine_->setPaused(true);
    startMining(makeCoordinator({}, {}, {}, walkRecord));
    ASSERT_TRUE(testing::eventually(
        [&] { return !log_.all<StoreNotice>().empty() && std::filesystem::exists(walkRecord); }));
    stopMining();
    const auto notices = log_.all<StoreNotice>();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].message.find("could not be read"), std::string::npos);
    std::vector<std::filesystem::path> aside;
    for (const auto& entry : std::filesystem::directory_iterator(dataDirectory())) {
        if (entry.path().filename().string().starts_with("found-blocks-walked.unreadable-")) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_NE(notices[0].message.find(aside[0].string()), std::string::npos);
    EXPECT_EQ(testing::readText(aside[0]), damaged);
    EXPECT_TRUE(placeOf(walkRecord));
}

// Blocks held in memory under one payout address, then a run under another: that run's walk finds
// every address's blocks, so those held before come back while mining to the new one.
TEST_F(MiningLoopNodeTest, BlocksHeldUnderAnEarlierAddressComeBackWhileMiningToAnother) {
    const auto walkRecord = walkRecordFile();
    const auto first = keyedOwnership({0x51});
    const auto second = keyedOwnership({0x52});
    ASSERT_NE(first.mark, second.mark);
    // Neither the history nor a pending file can be written under the first address.
    const auto historyFolder = historyFile().parent_path();
    testing::writeText(historyFolder, "no room");
    testing::writeText(rejectedDirectory(), "no room");
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    startMining(makeCoordinator(first, {}, {}, walkRecord, installationRecord()));
    const auto found = testing::eventually([&] { return history_->allBlocks().size() >= 2; });
    stopMining();
    ASSERT_TRUE(found);
    const auto held = byHeight(history_->allBlocks());

    std::filesystem::remove(historyFolder);
    std::filesystem::remove(rejectedDirectory());
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    engine_->setPaused(true);
    startMining(makeCoordinator(second, {}, {}, walkRecord, installationRecord()));
    const auto back = testing::eventually([&] {
        const auto walked = placeOf(walkRecord);
        return walked && walked->height >= held.rbegin()->first;
    });
    stopMining();
    EXPECT_TRUE(back);
    const auto onDisk = byHeight(MiningHistoryStore(historyFile()).allBlocks());
    for (const auto& [height, hash] : held) {
        ASSERT_EQ(onDisk.count(height), 1u) << height;
        EXPECT_EQ(onDisk.at(height), hash);
    }
}

}  // namespace
}  // namespace corvanta
