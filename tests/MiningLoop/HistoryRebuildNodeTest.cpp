// A history rebuilt from the chain takes nothing from the history it rebuilds: blocks pending,
// files of the version before, every payout address, a pruned node and a reorganised chain.
#include "MiningLoopNodeFixture.h"
#include "TestHttpServer.h"
#include "corvanta/loop/InstallationRecord.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta {
namespace {

using namespace corvanta::testing;

class HistoryRebuildNodeTest : public MiningLoopNodeTest {
  protected:
    // Mines with the installation's record as a session does, until `n` more records are held.
    void mineFor(const BlockOwnership& owner, std::size_t n) {
        const auto target = history_->allBlocks().size() + n;
        engine_->setPaused(false);
        startMining(makeCoordinator(owner, {}, {}, walkRecordFile(), installationRecord()));
        const auto found =
            testing::eventually([&] { return history_->allBlocks().size() >= target; });
        stopMining();  // before the test may end: a run left going would mine beside the next
        ASSERT_TRUE(found);
    }

    // A start that hashes nothing and ends once its walk has checked the chain to the tip.
    void startUntilWalked(const BlockOwnership& owner) {
        history_ = std::make_shared<MiningHistoryStore>(historyFile());
        engine_->setPaused(true);
        log_.clear();
        const auto tip = blockCount();
        startMining(makeCoordinator(owner, {}, {}, walkRecordFile(), installationRecord()));
        const auto walked = testing::eventually([&] {
            const auto place = placeOf(walkRecordFile());
            return place && place->height >= tip;
        });
        stopMining();
        ASSERT_TRUE(walked);
    }

    void loseHistoryAndPlace() const {
        std::filesystem::remove_all(historyFile().parent_path());
        std::filesystem::remove(walkRecordFile());
    }

    void expectEveryBlockOfOursOnceOnDisk(const BlockOwnership& owner) const {
        const auto ours = blocksOf(*client_, owner);
        const auto onDisk = onChain(*client_, MiningHistoryStore(historyFile()).allBlocks());
        EXPECT_EQ(onDisk, ours);
        std::printf("ours on the chain %zu, in the history %zu\n", ours.size(), onDisk.size());
    }
};

// The history, its journal and the place lost while a block waits in the pending folder: the
// pending block is recorded first, yet the walk goes as deep as the installation ever mined.
TEST_F(HistoryRebuildNodeTest, ALostHistoryWithABlockPendingComesBackWhole) {
    const auto owner = keyedOwnership({0x51});
    mineFor(owner, 3);
    generate(5);
    mineFor(owner, 2);
    const auto pending = solvedPendingBlock(0, WallClock::now(), owner.payoutPlan());
    PendingBlockStore::write(pending, pendingDirectory());
    loseHistoryAndPlace();

    startUntilWalked(owner);
    expectEveryBlockOfOursOnceOnDisk(owner);
    const auto ours = blocksOf(*client_, owner);
    EXPECT_EQ(ours.count(pending.height), 1u);
    const auto floor = installationRecord()->mined().floor;
    ASSERT_TRUE(floor);
    EXPECT_LE(*floor, ours.begin()->first);
}

// Files of the version before: the key inside the history folder with no heights, a place that
// counted its records from a history it had just lost. Deleted or damaged, nothing is lost.
TEST_F(HistoryRebuildNodeTest, AnEarlierVersionsFilesAndALostHistoryLoseNothing) {
    const auto owner = keyedOwnership({0x51});
    mineFor(owner, 3);
    generate(3);
    mineFor(owner, 2);
    const auto keyFile = dir_.path() / InstallationKey::fileName;
    for (const std::string how : {"deleted", "damaged"}) {
        SCOPED_TRACE(how);
        auto key = installationRecord()->key();
        key.mined.clear();
        loseHistoryAndPlace();
        if (how == "damaged") testing::writeText(historyFile(), R"([{"height":)");
        testing::writeText(historyFile().parent_path() / InstallationKey::fileName, key.encode());
        std::filesystem::remove(keyFile);
        testing::writeText(walkRecordFile(),
                           R"({"marks":{"01020304":{"firstMined":)" + std::to_string(blockCount()) +
                               R"(,"hash":")" + tipHash() + R"(","height":)" +
                               std::to_string(blockCount()) + R"(,"records":1}}})");

        startUntilWalked(owner);
        expectEveryBlockOfOursOnceOnDisk(owner);
        EXPECT_TRUE(std::filesystem::exists(keyFile));
        EXPECT_EQ(InstallationKey::decode(readFile(keyFile)).folder, key.folder);
    }
}

// Blocks of every payout address come back while mining to the current one.
TEST_F(HistoryRebuildNodeTest, EveryAddressesBlocksComeBackAfterALostHistory) {
    const auto x = keyedOwnership({0x51});
    const auto y = keyedOwnership(
        {0x00, 0x14, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    mineFor(x, 2);
    mineFor(y, 2);
    mineFor(x, 1);
    mineFor(y, 1);
    loseHistoryAndPlace();
    startUntilWalked(x);
    // Each address's own, told apart by a judge that knows only its mark.
    const auto onDisk = onChain(*client_, MiningHistoryStore(historyFile()).allBlocks());
    for (const auto* owner : {&x, &y}) {
        const auto paid = blocksOf(*client_, BlockOwnership(owner->payoutScript, owner->mark));
        EXPECT_GE(paid.size(), 2u);
        for (const auto& [height, hash] : paid) EXPECT_EQ(onDisk.count(height), 1u) << height;
    }
    expectEveryBlockOfOursOnceOnDisk(x);
}

// On a pruned node the walk starts at the lowest block the node still holds, says once which
// heights it could not check, and its place moves on.
TEST_F(HistoryRebuildNodeTest, OnAPrunedNodeTheWalkSaysWhatItCannotCheckAndMovesOn) {
    restartNodeWith("-prune=1 -fastprune");
    const auto owner = keyedOwnership({0x51});
    mineFor(owner, 2);
    const auto place = placeOf(walkRecordFile());
    for (int hundred = 0; hundred < 15; ++hundred) generate(100);
    // Two more of ours that nothing recorded: a history thrown away, no place kept.
    const auto thrown = std::make_shared<MiningHistoryStore>(dir_.path() / "thrown" / "h.json");
    // The walk of that run puts the earlier two into it too.
    const auto lateOnes = [&] {
        auto blocks = byHeight(thrown->allBlocks());
        std::erase_if(blocks, [](const auto& block) { return block.first < 1000; });
        return blocks;
    };
    engine_->setPaused(false);
    startMining(makeCoordinator(owner, thrown, {}, std::filesystem::path{}, installationRecord()));
    const auto mined = testing::eventually([&] { return lateOnes().size() >= 2; });
    stopMining();
    ASSERT_TRUE(mined);
    const auto late = lateOnes();
    generate(300);
    client_->call("pruneblockchain", {RPCParam::integer(1104)}, 30, {});
    const auto pruneHeight =
        json::required<std::int64_t>(client_->call("getblockchaininfo", {}, 10, {}), "pruneheight");
    ASSERT_GT(pruneHeight, 100);
    ASSERT_LT(pruneHeight, late.begin()->first);
    ASSERT_TRUE(place);

    startUntilWalked(owner);
    const auto onDisk = byHeight(MiningHistoryStore(historyFile()).allBlocks());
    for (const auto& [height, hash] : late) EXPECT_EQ(onDisk.count(height), 1u) << height;
    const auto notices = log_.all<StoreNotice>();
    const auto pruned = std::count_if(notices.begin(), notices.end(), [](const StoreNotice& n) {
        return n.message.find("the node has pruned them") != std::string::npos;
    });
    EXPECT_EQ(pruned, 1);
    for (const auto& notice : notices) std::printf("%s\n", notice.message.c_str());
    // Said once: the place has moved past what could not be checked.
    startUntilWalked(owner);
    EXPECT_TRUE(log_.all<StoreNotice>().empty());
}

// A chain reorganised below the place: the block of ours now at the place's height comes back,
// which a walk starting just above the place would miss.
TEST_F(HistoryRebuildNodeTest, AChainReorganisedBelowThePlaceIsWalkedAgain) {
    const auto owner = keyedOwnership({0x51});
    generate(3);
    const auto height = blockCount() + 1;
    const auto ours = solvedPendingBlock(0, WallClock::now(), owner.payoutPlan());
    generate(1);
    const auto replaced = tipHash();
    const HistoryReconciliation::WalkedThrough place{height, replaced, 0};
    client_->callOptional("invalidateblock", {RPCParam::string(replaced)}, 30, {});
    client_->callOptional("submitblock", {RPCParam::string(ours.blockHex)}, 30, {});
    generate(2);
    ASSERT_NE(
        json::as<std::string>(client_->call("getblockhash", {RPCParam::integer(height)}, 10, {})),
        replaced);

    MiningHistoryStore history(dir_.path() / "reorg" / "h.json");
    const auto walk = HistoryReconciliation::reconcile(
        history, *client_, owner, {place, std::int64_t(0)}, blockCount(), 30, {});
    EXPECT_TRUE(walk.complete);
    EXPECT_LE(walk.from, height);
    ASSERT_EQ(walk.added.size(), 1u);
    EXPECT_EQ(walk.added[0].height, height);
}

// A chain reorganised two blocks below the place: the walk looks behind it, and the block of
// ours now at the fork comes back.
TEST_F(HistoryRebuildNodeTest, AChainReorganisedTwoBlocksBelowThePlaceIsWalkedFromBelowTheFork) {
    const auto owner = keyedOwnership({0x51});
    generate(3);
    const auto fork = blockCount() + 1;
    const auto ours = solvedPendingBlock(0, WallClock::now(), owner.payoutPlan());
    generate(3);
    const auto replaced =
        json::as<std::string>(client_->call("getblockhash", {RPCParam::integer(fork)}, 10, {}));
    const HistoryReconciliation::WalkedThrough place{fork + 2, tipHash(), 0};
    client_->callOptional("invalidateblock", {RPCParam::string(replaced)}, 30, {});
    client_->callOptional("submitblock", {RPCParam::string(ours.blockHex)}, 30, {});
    generate(3);
    ASSERT_NE(tipHash(), place.hashHex);

    MiningHistoryStore history(dir_.path() / "reorg" / "h.json");
    const auto walk = HistoryReconciliation::reconcile(
        history, *client_, owner, {place, std::int64_t(0)}, blockCount(), 30, {});
    EXPECT_TRUE(walk.complete);
    ASSERT_EQ(walk.added.size(), 1u);
    EXPECT_EQ(walk.added[0].height, fork);
}

// The node between the walk and the chain, saying of one block that it has been pruned, as a
// pruned node does once the block's file goes while the walk runs.
class PruningOneBlock {
  public:
    PruningOneBlock(std::shared_ptr<const RPCClient> node, std::string prunedHashHex)
        : node_(std::move(node)),
          pruned_(std::move(prunedHashHex)),
          server_([this](const TestHttpServer::Request& request, std::stop_token) {
              return forward(request);
          }) {}
    RPCClient client() const { return RPCClient(server_.endpoint(), RPCCredentials{"u", "p"}); }

  private:
    std::optional<TestHttpServer::Reply> forward(const TestHttpServer::Request& request) const {
        const auto call = json::parse(request.body);
        const auto method = json::required<std::string>(call, "method");
        std::vector<RPCParam> params;
        for (const auto& param : json::required<json::Value>(call, "params")) {
            if (param.is_string()) {
                params.push_back(RPCParam::string(param.get<std::string>()));
            } else if (param.is_boolean()) {
                params.push_back(RPCParam::boolean(param.get<bool>()));
            } else {
                params.push_back(RPCParam::integer(param.get<std::int64_t>()));
            }
        }
        if (method == "getblock" && !params.empty() && params[0] == RPCParam::string(pruned_)) {
            return TestHttpServer::Reply{
                500,
                envelope("null", R"j({"code":-1,"message":"Block not available (pruned data)"})j")};
        }
        try {
            return TestHttpServer::Reply{200,
                                         envelope(json::dump(node_->call(method, params, 30, {})))};
        } catch (const RPCError& error) {
            const json::Value object = {{"code", error.code()}, {"message", error.message()}};
            return TestHttpServer::Reply{500, envelope("null", json::dump(object))};
        }
    }

    std::shared_ptr<const RPCClient> node_;
    std::string pruned_;
    TestHttpServer server_;
};

// A block pruned while the walk runs is said as pruned, and the walk goes on to the blocks above.
TEST_F(HistoryRebuildNodeTest, ABlockPrunedWhileTheWalkRunsDoesNotEndIt) {
    const auto owner = keyedOwnership({0x51});
    std::vector<std::int64_t> heights;
    for (int block = 0; block < 3; ++block) {
        generate(2);
        heights.push_back(blockCount() + 1);
        const auto ours = solvedPendingBlock(0, WallClock::now(), owner.payoutPlan());
        client_->callOptional("submitblock", {RPCParam::string(ours.blockHex)}, 30, {});
    }
    ASSERT_EQ(blockCount(), heights.back());
    const auto middle = json::as<std::string>(
        client_->call("getblockhash", {RPCParam::integer(heights[1])}, 10, {}));
    const PruningOneBlock node(client_, middle);

    MiningHistoryStore history(dir_.path() / "pruned" / "h.json");
    const auto walk = HistoryReconciliation::reconcile(
        history, node.client(), owner, {std::nullopt, std::int64_t(0)}, blockCount(), 30, {});
    EXPECT_TRUE(walk.complete);
    EXPECT_EQ(walk.pruned,
              (std::vector<HistoryReconciliation::HeightRange>{{heights[1], heights[1]}}));
    std::vector<std::int64_t> added;
    for (const auto& block : walk.added) added.push_back(block.height);
    EXPECT_EQ(added, (std::vector<std::int64_t>{heights[0], heights[2]}));
}

}  // namespace
}  // namespace corvanta
