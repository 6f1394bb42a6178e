// Which blocks are this installation's: the mark each installation derives, and the verdict on a
// coinbase.
#include <gtest/gtest.h>

#include <set>

#include "LoopFakes.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/support/AtomicFile.h"

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

BlockCoinbase coinbaseOf(const CoinbasePayoutPlan& plan) {
    auto job = testing::makeJob(1, "lp", 700);
    job.payoutPlan = plan;
    return *BlockCoinbase::decode(job.candidate(42, {}).serialized(0));
}

const InstallationKey kKey{"2f1e", 1000, "/home/a/.local/share/Corvanta",
                           WholeSeconds(std::chrono::seconds(1'800'000'000))};

TEST(BlockOwnership, OnlyACoinbaseCarryingOurMarkForTheScriptItPaysIsOurs) {
    using Verdict = BlockOwnership::Verdict;
    const auto owner = BlockOwnership::of(kKey, kScript);
    const Bytes earlierScript{0x51};
    EXPECT_EQ(owner.mark, BlockOwnership::markFor("2f1e", 1000, kKey.folder, kScript));
    EXPECT_EQ(owner.judge(coinbaseOf(owner.payoutPlan())), Verdict::ours);
    EXPECT_EQ(owner.rewardOf(coinbaseOf(owner.payoutPlan())), 5'000'000'000);
    // Mined for an earlier payout address: still ours, and what it paid there is ours.
    const auto earlier = BlockOwnership::of(kKey, earlierScript);
    EXPECT_EQ(owner.judge(coinbaseOf(earlier.payoutPlan())), Verdict::ours);
    EXPECT_EQ(owner.rewardOf(coinbaseOf(earlier.payoutPlan())), 5'000'000'000);
    // The same address mined by another installation; our mark written for another script than
    // the one paid.
    const auto other = BlockOwnership::of({"2f1f", 1000, kKey.folder, kKey.markedSince}, kScript);
    EXPECT_EQ(owner.judge(coinbaseOf(other.payoutPlan())), Verdict::foreign);
    EXPECT_EQ(owner.rewardOf(coinbaseOf(other.payoutPlan())), 0);
    EXPECT_EQ(
        owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner(earlierScript, owner.mark))),
        Verdict::foreign);
    // No mark at all: a miner of the time before the mark, whoever it was.
    EXPECT_EQ(owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript))),
              Verdict::unmarked);
    EXPECT_EQ(owner.judge(coinbaseOf(CoinbasePayoutPlan::everythingToMiner({0x52}))),
              Verdict::unmarked);
    // Without a key, only the current script's mark can be told.
    const BlockOwnership keyless{kScript, owner.mark};
    EXPECT_EQ(keyless.judge(coinbaseOf(owner.payoutPlan())), Verdict::ours);
    EXPECT_EQ(keyless.judge(coinbaseOf(earlier.payoutPlan())), Verdict::foreign);
    EXPECT_EQ(keyless.markOf(earlierScript), ExtranonceMark{});
}

// An unmarked block may be ours only when its own header dates from before our first mark.
TEST(BlockOwnership, AnUnmarkedBlockPredatesTheMarkOnlyByItsOwnHeader) {
    const auto unmarked = coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript));
    const auto headerTime = WholeSeconds(std::chrono::seconds(unmarked.time));
    auto key = kKey;
    key.markedSince = headerTime + std::chrono::seconds(1);
    EXPECT_TRUE(BlockOwnership::of(key, kScript).predatesTheMark(unmarked));
    key.markedSince = headerTime;
    EXPECT_FALSE(BlockOwnership::of(key, kScript).predatesTheMark(unmarked));
    // A marked block, or an owner that cannot tell when its marks began, never.
    key.markedSince = headerTime + std::chrono::seconds(1);
    const auto owner = BlockOwnership::of(key, kScript);
    EXPECT_FALSE(owner.predatesTheMark(coinbaseOf(owner.payoutPlan())));
    EXPECT_FALSE(BlockOwnership(kScript, owner.mark).predatesTheMark(unmarked));
}

// Derived once, the key is kept in the installation's folder and taken from there: a machine id
// gone missing, another machine, or the folder moved or restored elsewhere leave the marks alone.
TEST(InstallationKey, IsDerivedOnceAndKeptWhateverTheMachineOrFolderLaterSay) {
    testing::TempDir place;
    const auto folder = place.path() / "Corvanta";
    int derivations = 0;
    const auto deriveWith = [&](std::string machine) {
        return [&derivations, machine, folder] {
            ++derivations;
            return InstallationKey{machine, 1000, folder.string(), kKey.markedSince};
        };
    };
    const auto first = InstallationKey::keptIn(folder, deriveWith("2f1e"));
    EXPECT_EQ(first.machine, "2f1e");
    const auto mark = BlockOwnership::of(first, kScript).mark;
    // The machine id hidden, then another machine: the kept key stands.
    EXPECT_EQ(InstallationKey::keptIn(folder, deriveWith("")), first);
    EXPECT_EQ(InstallationKey::keptIn(folder, deriveWith("9a9a")), first);
    EXPECT_EQ(derivations, 1);
    // Moved, as a restored backup is.
    const auto moved = place.path() / "restored";
    std::filesystem::rename(folder, moved);
    EXPECT_EQ(BlockOwnership::of(InstallationKey::keptIn(moved, deriveWith("9a9a")), kScript).mark,
              mark);
    EXPECT_EQ(derivations, 1);
    // The real derivation keeps its key too.
    const auto real = InstallationKey::keptIn(place.path() / "real");
    EXPECT_EQ(InstallationKey::keptIn(place.path() / "real"), real);
    EXPECT_EQ(BlockOwnership::of(real, kScript).mark,
              BlockOwnership::markForThisUser(place.path() / "real", kScript));
}

// A kept key that cannot be taken is moved aside, never written over, and a key derived anew.
TEST(InstallationKey, AKeptFileItCannotTakeIsSetAsideBeforeANewKeyIsKept) {
    testing::TempDir place;
    const auto folder = place.path();
    const auto file = folder / InstallationKey::fileName;
    const auto derive = [&] { return kKey; };
    for (const std::string& damaged :
         {std::string("{\"machine\": 3}"), std::string(InstallationKey::fileBound + 1, ' ')}) {
        testing::writeText(file, damaged);
        std::vector<std::string> said;
        EXPECT_EQ(InstallationKey::keptIn(folder, derive,
                                          [&](const std::string& line) { said.push_back(line); }),
                  kKey);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(
            said[0].find("set aside as " + (folder / "installation-mark.unreadable-").string()),
            std::string::npos)
            << said[0];
        EXPECT_EQ(InstallationKey::decode(readFile(file)), kKey);
        std::size_t aside = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const auto name = entry.path().filename().string();
            if (name.starts_with("installation-mark.unreadable-")) {
                ++aside;
                EXPECT_EQ(readFile(entry.path()), damaged);
                std::filesystem::remove(entry.path());
            }
        }
        EXPECT_EQ(aside, 1u);
    }
    // A link in its place is not followed.
    std::filesystem::remove(file);
    const auto elsewhere = folder / "elsewhere.json";
    auto linked = kKey;
    linked.machine = "linked";
    testing::writeText(elsewhere, linked.encode());
    std::filesystem::create_symlink(elsewhere, file);
    EXPECT_EQ(InstallationKey::keptIn(folder, derive), kKey);
    EXPECT_EQ(InstallationKey::decode(readFile(elsewhere)), linked);
}

}  // namespace
}  // namespace corvanta
