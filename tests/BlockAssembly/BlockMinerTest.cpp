#include "corvanta/assembly/BlockMiner.h"

#include <functional>

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"
#include "corvanta/assembly/MiningJob.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {
namespace {

// An engine that hashes nothing: it records each search and reports what the test says.
class ScriptedEngine final : public HashEngine {
  public:
    using Reply = std::function<std::vector<std::uint32_t>(NonceRange)>;
    explicit ScriptedEngine(Reply reply) : reply_(std::move(reply)) {}

    std::string name() const override { return "scripted"; }
    std::optional<Hash32> bestDigestBigEndianBytes() const override { return Hash32{0x42}; }
    std::vector<std::uint32_t> search(const HashJob&, NonceRange range, bool stopAtFirstWinner,
                                      std::stop_token) override {
        EXPECT_TRUE(stopAtFirstWinner);
        searched.push_back(range);
        return reply_(range);
    }

    std::vector<NonceRange> searched;

  private:
    Reply reply_;
};

BlockCandidate regtestCandidate(std::optional<Target> target = std::nullopt) {
    const auto t = BlockTemplate::fromJson(testing::fixtureResult("gbt-with-1-tx.json"));
    auto candidate =
        MiningJob(t, CoinbasePayoutPlan::everythingToMiner({0x51}), TemplateRules::segwit)
            .candidate(3, {});
    if (target) candidate.target = *target;
    return candidate;
}

constexpr std::uint64_t kBatch = std::uint64_t{1} << 26;

TEST(BlockMinerTest, SweepsInBatchesAndIgnoresWinnersThatFailTheRecheck) {
    // No digest meets an all-zero target: every winner the engine reports is bogus.
    auto engine = std::make_shared<ScriptedEngine>(
        [](NonceRange range) { return std::vector<std::uint32_t>{range.start()}; });
    const BlockMiner miner(engine);
    const auto candidate = regtestCandidate(Target{});

    EXPECT_EQ(miner.mine(candidate, NonceRange(5, 0), {}), std::nullopt);
    EXPECT_TRUE(engine->searched.empty());

    EXPECT_EQ(miner.mine(candidate, NonceRange(5, kBatch + 1), {}), std::nullopt);
    EXPECT_EQ(engine->searched,
              (std::vector<NonceRange>{NonceRange(5, kBatch), NonceRange(5 + kBatch, 1)}));

    engine->searched.clear();
    EXPECT_EQ(miner.mine(candidate, NonceRange(0, NonceRange::nonceSpace), {}), std::nullopt);
    ASSERT_EQ(engine->searched.size(), 64u);
    EXPECT_EQ(engine->searched.back(), NonceRange(63 * kBatch, kBatch));
    EXPECT_EQ(miner.bestDigestBigEndianBytes(), Hash32{0x42});
}

TEST(BlockMinerTest, StopEndsBeforeTheNextBatchButKeepsAWinnerInHand) {
    std::stop_source stop;
    std::vector<std::uint32_t> report;
    auto engine = std::make_shared<ScriptedEngine>([&](NonceRange) {
        stop.request_stop();  // arrives while the batch runs
        return report;
    });
    const BlockMiner miner(engine);
    const auto candidate = regtestCandidate(Target::easiest());

    EXPECT_EQ(miner.mine(candidate, NonceRange(0, 4 * kBatch), stop.get_token()), std::nullopt);
    EXPECT_EQ(engine->searched.size(), 1u);
    EXPECT_EQ(miner.mine(candidate, NonceRange(0, 10), stop.get_token()), std::nullopt);
    EXPECT_EQ(engine->searched.size(), 1u);

    stop = std::stop_source{};
    report = {109, 110};
    const auto outcome = miner.mine(candidate, NonceRange(100, 50), stop.get_token());
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
}

}  // namespace
}  // namespace corvanta
