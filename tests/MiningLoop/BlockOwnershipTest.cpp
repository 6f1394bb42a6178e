// Which blocks are this installation's: the mark each installation derives, and the verdict on a
// coinbase.
#include <gtest/gtest.h>

#include <set>

#include "LoopFakes.h"
#include "corvanta/loop/BlockOwnership.h"

namespace corvanta {
namespace {

const Bytes kScript{0x00, 0x14, 1,  2,  3,  4,  5,  6,  7,  8,  9,
                    10,   11,   12, 13, 14, 15, 16, 17, 18, 19, 20};

// Each thing that tells installations apart changes the mark; the same ones give it again.
TEST(BlockOwnership, EachInstallationHasAMarkOfItsOwn) {
    const auto mark = [](std::string_view machine, std::uint32_t user, const char* folder,
                         const Bytes& script) {
        return BlockOwnership::markFor(machine, user, folder, script);
    };
    const auto base = mark("2f1e", 1000, "/home/a/.local/share/Corvanta", kScript);
    EXPECT_EQ(base, mark("2f1e", 1000, "/home/a/.local/share/Corvanta", kScript));
    EXPECT_EQ(base, mark("2f1e", 1000, "/home/a/.local/share/./Corvanta", kScript));
    std::set<ExtranonceMark> marks{
        base,
        mark("2f1f", 1000, "/home/a/.local/share/Corvanta", kScript),  // another machine
        mark("2f1e", 1001, "/home/a/.local/share/Corvanta", kScript),  // another user
        mark("2f1e", 1000, "/home/b/.local/share/Corvanta", kScript),  // another home
        mark("2f1e", 1000, "/home/a/.local/share/Corvanta", Bytes{0x51}),
        // Fields never run into each other.
        mark("2f1e1", 0, "/home/a/.local/share/Corvanta", kScript),
    };
    EXPECT_EQ(marks.size(), 6u);
    for (const auto& each : marks) EXPECT_NE(each, ExtranonceMark{});
    EXPECT_NE(BlockOwnership::markForThisUser("/tmp/one", kScript),
              BlockOwnership::markForThisUser("/tmp/two", kScript));
}

TEST(BlockOwnership, OnlyAMarkedCoinbasePayingTheScriptIsOurs) {
    const BlockOwnership owner{kScript, {1, 2, 3, 4}};
    const auto coinbaseOf = [](const CoinbasePayoutPlan& plan) {
        auto job = testing::makeJob(1, "lp", 700);
        job.payoutPlan = plan;
        return *BlockCoinbase::decode(job.candidate(42, {}).serialized(0));
    };
    using Verdict = BlockOwnership::Verdict;
    EXPECT_EQ(owner.judge(coinbaseOf(owner.payoutPlan())), Verdict::ours);
    // The same address mined by another installation, or by a miner that writes no mark.
    EXPECT_EQ(owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript, {4, 3, 2, 1}))),
              Verdict::unmarked);
    EXPECT_EQ(owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript))),
              Verdict::unmarked);
    // Our mark on a block paying someone else pays us nothing.
    EXPECT_EQ(owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner({0x51}, owner.mark))),
              Verdict::notPaying);
    // Without a mark of its own, nothing can be shown to be ours.
    const BlockOwnership unmarked{kScript, {}};
    EXPECT_EQ(unmarked.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript))),
              Verdict::unmarked);
}

}  // namespace
}  // namespace corvanta
