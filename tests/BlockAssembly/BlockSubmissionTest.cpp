#include "corvanta/assembly/BlockSubmission.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvanta
