#include "corvanta/assembly/BlockMiner.h"

#include <functional>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "corvanta/assembly/MiningJob.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {
namespace {

// An engine that hashes nothing: it records each search and reports what the test says.
class ScriptedEngine final : public HashEngine {
  public:
    using Reply = std::function<std::vector<std::uint32_t>(NonceRange, std::stop_source&)>;

    ScriptedEngine(Reply reply, std::stop_source& source)
        : reply_(std::move(reply)), source_(source) {}

    std::string name() const override { return "scripted"; }
    std::optional<Hash32> bestDigestBigEndianBytes() const override { return Hash32{0x42}; }
    std::vector<std::uint32_t> search(const HashJob&, NonceRange range, bool stopAtFirstWinner,
                                      std::stop_token) override {
        EXPECT_TRUE(stopAtFirstWinner);
        searched.push_back(range);
        return reply_(range, source_);
    }

    std::vector<NonceRange> searched;

  private:
    Reply reply_;
    std::stop_source& source_;
};

BlockCandidate regtestCandidate() {
    const auto t = BlockTemplate::fromJson(testing::fixtureResult("gbt-with-1-tx.json"));
    return MiningJob(t, CoinbasePayoutPlan::everythingToMiner({0x51})).candidate(3, std::nullopt);
}

BlockCandidate withTarget(BlockCandidate candidate, const Target& target) {
    candidate.target = target;
    return candidate;
}

// No header can meet an all-zero target, so every reported winner is bogus.
const Target kImpossible{};

TEST(BlockMinerTest, SweepsInBatchesOfTwoToTheTwentySixth) {
    std::stop_source source;
    auto engine = std::make_shared<ScriptedEngine>(
        [](NonceRange, std::stop_source&) { return std::vector<std::uint32_t>{}; }, source);
    const BlockMiner miner(engine);
    const auto candidate = regtestCandidate();

    EXPECT_EQ(miner.mine(candidate, NonceRange(5, 0), source.get_token()), std::nullopt);
    EXPECT_TRUE(engine->searched.empty());

    EXPECT_EQ(miner.mine(candidate, NonceRange(5, (1u << 26) + 1), source.get_token()),
              std::nullopt);
    EXPECT_EQ(engine->searched,
              (std::vector<NonceRange>{NonceRange(5, 1u << 26), NonceRange(5 + (1u << 26), 1)}));

    engine->searched.clear();
    EXPECT_EQ(miner.mine(candidate, NonceRange(0, NonceRange::nonceSpace), source.get_token()),
              std::nullopt);
    ASSERT_EQ(engine->searched.size(), 64u);
    EXPECT_EQ(engine->searched.back(), NonceRange(63u << 26, 1u << 26));
    EXPECT_EQ(miner.bestDigestBigEndianBytes(), Hash32{0x42});
}

TEST(BlockMinerTest, IgnoresWinnersThatFailTheRecheck) {
    std::stop_source source;
    auto engine = std::make_shared<ScriptedEngine>(
        [](NonceRange range, std::stop_source&) {
            return std::vector<std::uint32_t>{range.start(), range.start() + 1};
        },
        source);
    const BlockMiner miner(engine);
    EXPECT_EQ(miner.mine(withTarget(regtestCandidate(), kImpossible), NonceRange(0, 3u << 26),
                         source.get_token()),
              std::nullopt);
    EXPECT_EQ(engine->searched.size(), 3u);
}

TEST(BlockMinerTest, StopEndsBeforeTheNextBatchButKeepsAWinnerInHand) {
    std::stop_source source;
    // The stop arrives during the first batch, which reports nothing.
    auto quiet = std::make_shared<ScriptedEngine>(
        [](NonceRange, std::stop_source& s) {
            s.request_stop();
            return std::vector<std::uint32_t>{};
        },
        source);
    EXPECT_EQ(
        BlockMiner(quiet).mine(regtestCandidate(), NonceRange(0, 4u << 26), source.get_token()),
        std::nullopt);
    EXPECT_EQ(quiet->searched.size(), 1u);

    // Already stopped: nothing is searched.
    EXPECT_EQ(BlockMiner(quiet).mine(regtestCandidate(), NonceRange(0, 10), source.get_token()),
              std::nullopt);
    EXPECT_EQ(quiet->searched.size(), 1u);

    // The stop arrives while the engine reports a real winner: the block is still returned.
    std::stop_source late;
    auto lucky = std::make_shared<ScriptedEngine>(
        [](NonceRange range, std::stop_source& s) {
            s.request_stop();
            return std::vector<std::uint32_t>{range.start() + 9};
        },
        late);
    const auto candidate = withTarget(regtestCandidate(), Target::easiest());
    const auto outcome = BlockMiner(lucky).mine(candidate, NonceRange(100, 50), late.get_token());
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nonce, 109u);
}

TEST(BlockMinerTest, MinesARegtestBlockOnTheCpuEngine) {
    const auto candidate = regtestCandidate();
    const BlockMiner miner(std::make_shared<CPUEngine>(2));
    // About every other nonce meets a regtest target.
    const auto outcome = miner.mine(candidate, NonceRange(0, 10000), {});
    ASSERT_TRUE(outcome.has_value());

    const Bytes header(outcome->serializedBlock.begin(), outcome->serializedBlock.begin() + 80);
    EXPECT_EQ(outcome->blockHash, doubleSHA256(header));
    EXPECT_TRUE(candidate.target.isMet(outcome->blockHash));
    EXPECT_EQ(outcome->serializedBlock, candidate.serialized(outcome->nonce));
    EXPECT_EQ(outcome->coinbaseTxid, candidate.coinbaseTxid);
    EXPECT_EQ(outcome->rewardSats, 5'000'010'000);
    EXPECT_TRUE(miner.bestDigestBigEndianBytes().has_value());
}

}  // namespace
}  // namespace corvanta
