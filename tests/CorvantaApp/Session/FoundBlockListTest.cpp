// The found-block list of a session: the node's verdict on a block lands on that block alone.
#include <gtest/gtest.h>

#include "Session/FoundBlockList.h"

namespace corvanta {
namespace {

FoundBlockRecord listed(qint64 height, const char* hashHex, std::optional<bool> accepted) {
    const QString verdict = !accepted   ? QStringLiteral("pending\u2026")
                            : *accepted ? QStringLiteral("accepted")
                                        : QStringLiteral("rejected: high-hash");
    return {QString::number(height), height, hashHex, height * 10, verdict, accepted};
}

// A block held over a node restart is resubmitted after a newer one was found: its verdict is
// told last, and must not become the newer block's.
TEST(FoundBlockList, AVerdictChangesItsOwnBlockAndItsRewardCountsOnce) {
    const SubmissionResult accepted{SubmissionResult::Accepted{}};
    const SubmissionResult refused{SubmissionResult::Rejected{"bad-cb-amount"}};
    struct Case {
        const char* name;
        std::vector<FoundBlockRecord> before;
        const char* hashHex;
        SubmissionResult result;
        std::vector<FoundBlockRecord> after;
        bool listed;
        std::optional<qint64> newlyAcceptedHeight;
    };
    const auto held = listed(100, "aa", std::nullopt);
    const auto newer = listed(101, "bb", std::nullopt);
    auto heldRefused = held;
    heldRefused.verdict = "rejected: bad-cb-amount";
    heldRefused.isAccepted = false;
    const std::vector<Case> cases{
        {"the older block accepted",
         {held, newer},
         "aa",
         accepted,
         {listed(100, "aa", true), newer},
         true,
         100},
        {"the older block refused", {held, newer}, "aa", refused, {heldRefused, newer}, true, {}},
        {"the newer block accepted",
         {held, newer},
         "bb",
         accepted,
         {held, listed(101, "bb", true)},
         true,
         101},
        {"a block no longer listed", {held, newer}, "cc", accepted, {held, newer}, false, {}},
        {"an empty list", {}, "aa", accepted, {}, false, {}},
        {"a block accepted already, told again",
         {listed(100, "aa", true), newer},
         "aa",
         accepted,
         {listed(100, "aa", true), newer},
         true,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto blocks = c.before;
        const auto verdict = found_blocks::applyVerdict(blocks, c.hashHex, c.result);
        EXPECT_EQ(blocks, c.after);
        EXPECT_EQ(verdict.listed, c.listed);
        ASSERT_EQ(verdict.newlyAccepted.has_value(), c.newlyAcceptedHeight.has_value());
        if (verdict.newlyAccepted) {
            EXPECT_EQ(verdict.newlyAccepted->height, *c.newlyAcceptedHeight);
            EXPECT_EQ(verdict.newlyAccepted->rewardSats, *c.newlyAcceptedHeight * 10);
        }
    }
}

}  // namespace
}  // namespace corvanta
