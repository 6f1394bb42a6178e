// Block assembly against a live node, regtest or signet: templates in, blocks out, the node's
// verdicts back.
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"
#include "NodeHarness.h"
#include "corvanta/assembly/BlockMiner.h"
#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/assembly/MiningJob.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/rpc/RPCErrors.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;

// Anyone can spend it: the node's tests need no keys.
const CoinbasePayoutPlan kPayToOpTrue = CoinbasePayoutPlan::everythingToMiner({0x51});
// Pay to a version 0 witness key hash.
const CoinbasePayoutPlan kPayToWitnessKeyHash = CoinbasePayoutPlan::everythingToMiner(
    testing::hex("0014751e76e8199196d454941c45d1b3a323f1433bd6"));

class BlockAssemblyNodeTest : public testing::NodeHarness {
  protected:
    void SetUp() override {
        NodeHarness::SetUp();
        if (!IsSkipped()) client_ = startNode();
    }

    const RPCClient& client() const { return *client_; }
    std::int64_t blockCount() const {
        return json::as<std::int64_t>(client_->call("getblockcount", {}, 30, {}), "getblockcount");
    }
    BlockTemplate freshTemplate() {
        return BlockTemplate::fetch(*client_, TemplateRules::segwit, std::nullopt, {});
    }

    // Mines the candidate: about every other nonce meets a regtest target.
    MiningOutcome mined(const BlockCandidate& candidate) {
        const auto outcome = miner_.mine(candidate, NonceRange(0, 10000), std::stop_token{});
        if (!outcome) throw std::runtime_error("no nonce found at regtest difficulty");
        return *outcome;
    }

    std::shared_ptr<const RPCClient> client_;
    BlockMiner miner_{std::make_shared<CPUEngine>(2)};
};

TEST_F(BlockAssemblyNodeTest, MinedBlockIsAcceptedAndExtendsTheChain) {
    for (const CoinbasePayoutPlan& plan : {kPayToOpTrue, kPayToWitnessKeyHash}) {
        const std::int64_t before = blockCount();
        const BlockTemplate t = freshTemplate();
        EXPECT_EQ(t.height, before + 1);

        const MiningOutcome outcome =
            mined(MiningJob(t, plan, TemplateRules::segwit).candidate(0, std::nullopt));
        EXPECT_EQ(submit(outcome, client(), {}), SubmissionResult{SubmissionResult::Accepted{}});
        EXPECT_EQ(blockCount(), before + 1);

        // The node builds on it, and knows it when it comes again.
        EXPECT_EQ(freshTemplate().previousBlockHash, testing::displayHex(outcome.blockHash));
        EXPECT_TRUE(submit(outcome, client(), {}).isAccepted());
        EXPECT_EQ(blockCount(), before + 1);
    }
}

TEST_F(BlockAssemblyNodeTest, NodeRefusesBrokenBlocksWithItsReason) {
    using Break = std::function<BlockCandidate(BlockTemplate)>;
    const std::vector<std::pair<std::string, Break>> cases{
        {"bad-txnmrklroot",
         [](BlockTemplate t) {
             auto candidate =
                 MiningJob(t, kPayToOpTrue, TemplateRules::segwit).candidate(0, std::nullopt);
             candidate.header.merkleRoot[0] ^= 0x01;
             return candidate;
         }},
        {"bad-cb-height",
         [](BlockTemplate t) {
             t.height += 1;
             return MiningJob(t, kPayToOpTrue, TemplateRules::segwit).candidate(0, std::nullopt);
         }},
        {"bad-cb-amount",
         [](BlockTemplate t) {
             t.coinbaseValue += 1;
             return MiningJob(t, kPayToOpTrue, TemplateRules::segwit).candidate(0, std::nullopt);
         }},
    };
    const std::int64_t before = blockCount();
    for (const auto& [reason, breakIt] : cases) {
        const MiningOutcome outcome = mined(breakIt(freshTemplate()));
        EXPECT_EQ(submit(outcome, client(), {}),
                  SubmissionResult{SubmissionResult::Rejected{reason}});
    }
    EXPECT_EQ(blockCount(), before);
}

TEST_F(BlockAssemblyNodeTest, ProposalJudgesTheBlockApartFromItsWork) {
    const BlockCandidate candidate =
        MiningJob(freshTemplate(), kPayToOpTrue, TemplateRules::segwit).candidate(5, std::nullopt);
    EXPECT_EQ(proposeBlock(candidate, 0, TemplateRules::segwit, client(), {}),
              ProposalVerdict{ProposalVerdict::Valid{}});

    BlockCandidate broken = candidate;
    broken.header.merkleRoot[31] ^= 0x80;
    EXPECT_EQ(proposeBlock(broken, 0, TemplateRules::segwit, client(), {}),
              ProposalVerdict{ProposalVerdict::Rejected{"bad-txnmrklroot"}});
}

TEST_F(BlockAssemblyNodeTest, LongPollAnswersWhenTheTipChanges) {
    const BlockTemplate first = freshTemplate();
    ASSERT_TRUE(first.longPollID.has_value());

    auto waiting = std::async(std::launch::async, [&] {
        return BlockTemplate::fetch(client(), TemplateRules::segwit, first.longPollID, {}, 60.0);
    });
    EXPECT_EQ(waiting.wait_for(300ms), std::future_status::timeout);

    const MiningOutcome outcome =
        mined(MiningJob(first, kPayToOpTrue, TemplateRules::segwit).candidate(0, std::nullopt));
    ASSERT_TRUE(submit(outcome, client(), {}).isAccepted());

    ASSERT_EQ(waiting.wait_for(30s), std::future_status::ready);
    const BlockTemplate next = waiting.get();
    EXPECT_EQ(next.height, first.height + 1);
    EXPECT_EQ(next.previousBlockHash, testing::displayHex(outcome.blockHash));
    EXPECT_NE(next.longPollID, first.longPollID);
}

// A signet node whose challenge is OP_TRUE: its blocks need no signature.
class SignetAssemblyNodeTest : public testing::NodeHarness {
  protected:
    void SetUp() override {
        NodeHarness::SetUp();
        if (IsSkipped()) return;
        setLaunchFlags("-signetchallenge=51");
        const testing::ReservedPorts& ports = ports_.emplace_back(3);
        controllers_.push_back(std::make_unique<NodeController>(
            launcher_,
            NodeConfiguration(BitcoinNetwork::signet, dataDirectory(), 0, ports.first(),
                              ports.first() + 1, false, false),
            std::nullopt, fastTimings()));
        client_ = controllers_.back()->startAndConnect(30s, 30s, {});
    }

    std::shared_ptr<const RPCClient> client_;
};

// The node answers a template request only when it names the signet rule; the block built from
// that template, with no solution, is proposed under the same rules and taken.
TEST_F(SignetAssemblyNodeTest, TheSignetRuleGetsATemplateWhoseBlockTheNodeTakes) {
    try {
        BlockTemplate::fetch(*client_, TemplateRules::segwit, std::nullopt, {});
        FAIL() << "a signet template without the signet rule";
    } catch (const RPCError& error) {
        EXPECT_EQ(error.code(), -8);
        EXPECT_EQ(
            error.message(),
            R"(getblocktemplate must be called with the signet rule set (call with {"rules": ["segwit", "signet"]}))");
    }
    const auto rules = TemplateRules::segwitAndSignet;
    const BlockTemplate t = BlockTemplate::fetch(*client_, rules, std::nullopt, {});
    EXPECT_EQ(t.signetChallenge, "51");
    const auto candidate = MiningJob(t, kPayToWitnessKeyHash, rules).candidate(0, std::nullopt);
    EXPECT_EQ(proposeBlock(candidate, 0, rules, *client_, {}),
              ProposalVerdict{ProposalVerdict::Valid{}});
    // The real signet's target takes some millions of hashes.
    const auto outcome = BlockMiner(std::make_shared<CPUEngine>(2))
                             .mine(candidate, NonceRange(0, NonceRange::nonceSpace), {});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(submit(*outcome, *client_, {}), SubmissionResult{SubmissionResult::Accepted{}});
    EXPECT_EQ(json::as<std::int64_t>(client_->call("getblockcount", {}, 30, {}), "getblockcount"),
              1);
}

}  // namespace
}  // namespace corvanta
