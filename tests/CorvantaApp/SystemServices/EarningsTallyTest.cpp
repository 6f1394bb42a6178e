#include <gtest/gtest.h>

#include <limits>

#include "SystemServices/EarningsTally.h"

namespace corvanta {
namespace {

constexpr std::int64_t kReward = 5'000'000'000;

EarningsSnapshot scanAt(std::int64_t height, std::int64_t mature, std::int64_t immature,
                        std::int64_t matureCount, std::int64_t immatureCount) {
    return {"bcrt1qaddress", height, mature, immature, matureCount, immatureCount};
}

TEST(EarningsTally, ShowsNothingBeforeTheFirstScanButKeepsItsBlocksForIt) {
    EarningsTally tally;
    tally.blockAccepted(120, kReward);
    tally.blockAccepted(121, kReward);
    EXPECT_EQ(tally.shown(), std::nullopt);
    // The first scan ran at 120: the block at 120 is in it, the one at 121 is not.
    tally.scanned(scanAt(120, 0, kReward, 0, 1), {{120, kReward}});
    EXPECT_EQ(tally.shown(), scanAt(120, 0, 2 * kReward, 0, 2));
}

TEST(EarningsTally, ABlockIsCountedOnceHoweverScansAndBlocksInterleave) {
    EarningsTally tally;
    tally.scanned(scanAt(200, 7 * kReward, 0, 7, 0), {});
    // A block the scan already saw (its event applied late) adds nothing.
    tally.blockAccepted(200, kReward);
    EXPECT_EQ(tally.shown(), scanAt(200, 7 * kReward, 0, 7, 0));
    // Three blocks, then a scan that ran after the first two only: the third stays added.
    for (std::int64_t height : {201, 202, 203}) tally.blockAccepted(height, kReward);
    EXPECT_EQ(tally.shown(), scanAt(200, 7 * kReward, 3 * kReward, 7, 3));
    tally.scanned(scanAt(202, 7 * kReward, 2 * kReward, 7, 2), {{201, kReward}, {202, kReward}});
    EXPECT_EQ(tally.shown(), scanAt(202, 7 * kReward, 3 * kReward, 7, 3));
    // A block orphaned before the next scan: that scan no longer has it, and neither do we.
    tally.scanned(scanAt(203, 7 * kReward, 2 * kReward, 7, 2), {{201, kReward}, {202, kReward}});
    EXPECT_EQ(tally.shown(), scanAt(203, 7 * kReward, 2 * kReward, 7, 2));
    EXPECT_EQ(tally.heldCount(), 2u);
}

TEST(EarningsTally, RewardsMatureAtAHundredConfirmationsBetweenScans) {
    EarningsTally tally;
    // The scan's own immature output from height 150, and a block found at 210.
    tally.scanned(scanAt(200, kReward, kReward, 1, 1), {{150, kReward}});
    tally.blockAccepted(210, 3);
    EXPECT_EQ(tally.shown(), scanAt(200, kReward, kReward + 3, 1, 2));
    tally.tipAt(249);
    EXPECT_EQ(tally.shown(), scanAt(200, kReward, kReward + 3, 1, 2));
    tally.tipAt(250);
    EXPECT_EQ(tally.shown(), scanAt(200, 2 * kReward, 3, 2, 1));
    tally.tipAt(309);
    EXPECT_EQ(tally.shown(), scanAt(200, 2 * kReward, 3, 2, 1));
    tally.tipAt(310);
    EXPECT_EQ(tally.shown(), scanAt(200, 2 * kReward + 3, 0, 3, 0));
    // A tip that went back (a reorganisation) makes them immature again, as a scan would.
    tally.tipAt(305);
    EXPECT_EQ(tally.shown(), scanAt(200, 2 * kReward, 3, 2, 1));
}

TEST(EarningsTally, SumsSaturateRatherThanWrap) {
    EarningsTally tally;
    const auto max = std::numeric_limits<std::int64_t>::max();
    tally.scanned(scanAt(10, 0, max, 0, 1), {{10, max}});
    tally.blockAccepted(11, kReward);
    EXPECT_EQ(tally.shown()->immatureSats, max);
}

}  // namespace
}  // namespace corvanta
