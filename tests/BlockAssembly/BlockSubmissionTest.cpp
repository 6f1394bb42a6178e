#include "corvanta/assembly/BlockSubmission.h"

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"
#include "TestHttpServer.h"
#include "corvanta/assembly/MiningJob.h"

namespace corvanta {
namespace {

using Accepted = SubmissionResult::Accepted;
using Refused = SubmissionResult::Rejected;

TEST(BlockSubmissionTest, NodeKeepsTheBlockOnlyForNullAndTheExactDuplicateTexts) {
    for (const std::optional<std::string>& kept :
         {std::optional<std::string>{}, std::optional<std::string>{"duplicate"},
          std::optional<std::string>{"inconclusive"},
          std::optional<std::string>{"duplicate-inconclusive"}}) {
        EXPECT_EQ(submissionVerdict(kept), SubmissionResult{Accepted{}}) << kept.value_or("null");
    }
    for (const char* refused :
         {"Duplicate", "duplicate ", "inconclusive-x", "high-hash", "bad-txnmrklroot", ""}) {
        EXPECT_EQ(submissionVerdict(std::string(refused)), SubmissionResult{Refused{refused}})
            << refused;
    }
}

TEST(BlockSubmissionTest, ProposalVerdictsKeepTheWholeReason) {
    EXPECT_EQ(proposalVerdict(std::nullopt), ProposalVerdict{ProposalVerdict::Valid{}});
    EXPECT_EQ(proposalVerdict("inconclusive"),
              ProposalVerdict{ProposalVerdict::Inconclusive{"inconclusive"}});
    EXPECT_EQ(proposalVerdict("inconclusive-not-best-prevblk"),
              ProposalVerdict{ProposalVerdict::Inconclusive{"inconclusive-not-best-prevblk"}});
    EXPECT_EQ(proposalVerdict("bad-txnmrklroot"),
              ProposalVerdict{ProposalVerdict::Rejected{"bad-txnmrklroot"}});
    EXPECT_EQ(proposalVerdict(""), ProposalVerdict{ProposalVerdict::Rejected{""}});
    EXPECT_EQ(proposalVerdict("Inconclusive"),
              ProposalVerdict{ProposalVerdict::Rejected{"Inconclusive"}});
}

// The node hears a proposal under the rules its template was asked for with: the signet rule on
// signet, and elsewhere the request it always was, byte for byte.
TEST(BlockSubmissionTest, AProposalNamesTheRulesOfItsTemplate) {
    testing::TestHttpServer node([](const testing::TestHttpServer::Request&, std::stop_token) {
        return std::optional(testing::TestHttpServer::Reply{200, testing::envelope("null")});
    });
    const RPCClient client(node.endpoint(), RPCCredentials{"u", "p"});
    const auto blockTemplate =
        BlockTemplate::fromJson(testing::fixtureResult("gbt-signet-op-true.json"));
    const struct {
        TemplateRules rules;
        const char* rulesText;
    } cases[] = {
        {TemplateRules::segwit, R"(["segwit"])"},
        {TemplateRules::segwitAndSignet, R"(["segwit","signet"])"},
    };
    std::size_t sent = 0;
    for (const auto& [rules, rulesText] : cases) {
        const auto candidate =
            MiningJob(blockTemplate, CoinbasePayoutPlan::everythingToMiner({0x51}), rules)
                .candidate(0, std::nullopt);
        EXPECT_EQ(proposeBlock(candidate, 3, rules, client, {}),
                  ProposalVerdict{ProposalVerdict::Valid{}});
        ASSERT_EQ(node.requests().size(), ++sent);
        EXPECT_EQ(
            node.requests().back().body,
            R"({"id":"corvanta","jsonrpc":"1.0","method":"getblocktemplate","params":[{"data":")" +
                BitcoinEncoding::hexString(candidate.serialized(3)) +
                R"(","mode":"proposal","rules":)" + rulesText + "}]}");
    }
}

}  // namespace
}  // namespace corvanta
