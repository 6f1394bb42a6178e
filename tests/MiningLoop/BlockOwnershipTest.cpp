// Which blocks are this installation's: the mark each installation derives, and the verdict on a
// coinbase.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <set>

#include "LoopFakes.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/InstallationRecord.h"
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

// An unmarked block from before the key counts only for what it pays to a script this installation
// pays now or has mined to: never a block paying someone else, never the part paid to another.
TEST(BlockOwnership, AnUnmarkedBlockCountsOnlyWhatItPaysToOurScripts) {
    const Bytes earlierScript{0x51};
    auto key = kKey;
    key.mined["regtest"].marks[BlockOwnership::of(kKey, earlierScript).mark] = 5;
    auto unmarked = coinbaseOf(CoinbasePayoutPlan::everythingToMiner(kScript));
    key.markedSince = WholeSeconds(std::chrono::seconds(unmarked.time + 1));
    const auto owner = BlockOwnership::of(key, kScript);
    const BlockCoinbase::Output toSomeoneElse{4'000'000'000, {0x52}};
    struct Case {
        const char* what;
        std::vector<BlockCoinbase::Output> outputs;
        bool counts;
        std::int64_t reward;
    };
    const Case cases[] = {
        {"pays someone else only", {{5'000'000'000, {0x52}}}, false, 0},
        {"pays a script never mined to", {{5'000'000'000, {0x53}}}, false, 0},
        {"pays the current script", {{5'000'000'000, kScript}}, true, 5'000'000'000},
        {"pays an earlier script", {{5'000'000'000, earlierScript}}, true, 5'000'000'000},
        {"pays us a part", {{1'000'000'000, kScript}, toSomeoneElse}, true, 1'000'000'000},
        {"pays two of ours", {{1'000'000'000, kScript}, {2, earlierScript}}, true, 1'000'000'002},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        unmarked.outputs = each.outputs;
        EXPECT_EQ(owner.predatesTheMark(unmarked), each.counts);
        EXPECT_EQ(owner.rewardOf(unmarked), each.reward);
    }
    // An earlier script is known only by the marks the key keeps.
    unmarked.outputs = {{5'000'000'000, earlierScript}};
    auto forgetful = key;
    forgetful.mined.clear();
    EXPECT_FALSE(BlockOwnership::of(forgetful, kScript).predatesTheMark(unmarked));
}

// What the walk needs is kept with the key, read back as written, and refused when it is not.
TEST(InstallationKey, KeepsTheHeightsMinedAtPerNetworkAndRefusesDamagedOnes) {
    auto key = kKey;
    key.mined["regtest"] = {{{ExtranonceMark{1, 2, 3, 4}, 388}, {ExtranonceMark{9, 9, 9, 9}, 12}},
                            std::int64_t(12)};
    key.mined["mainnet"] = {{{ExtranonceMark{1, 2, 3, 4}, 870'000}}, std::nullopt};
    key.mined["signet"] = {{}, std::nullopt};
    EXPECT_EQ(InstallationKey::decode(key.encode()), key);
    // What 0.1.2 wrote of a network met on a new chain speaks of a moment a file put back later
    // no longer shows: it reads, and is never written again.
    auto earlierText = key.encode();
    const std::string signet = R"("signet": {)";
    earlierText.insert(earlierText.find(signet) + signet.size(), R"("floorAtFirstJob": true,)");
    EXPECT_EQ(InstallationKey::decode(earlierText), key);
    EXPECT_EQ(key.encode().find("floorAtFirstJob"), std::string::npos);
    // A floor an earlier version wrote may have been raised over blocks of ours (a first job
    // taken for it after a first sync): unknown until a walk from the lowest block sets it again.
    auto unsoundText = key.encode();
    const std::string sound = R"("floorSound": true,)";
    ASSERT_NE(unsoundText.find(sound), std::string::npos);
    unsoundText.erase(unsoundText.find(sound), sound.size());
    auto unsound = key;
    unsound.mined["regtest"].floor.reset();
    EXPECT_EQ(InstallationKey::decode(unsoundText), unsound);
    key.minedFromStart = true;
    EXPECT_EQ(InstallationKey::decode(key.encode()), key);
    EXPECT_EQ(key.marksUsed(), (std::vector<ExtranonceMark>{{1, 2, 3, 4}, {9, 9, 9, 9}}));
    // A key of the version before: no heights, so no floor.
    EXPECT_TRUE(InstallationKey::decode(kKey.encode()).mined.empty());
    const std::string head =
        R"({"folder":"/f","machine":"m","markedSince":"2027-01-15T08:00:00Z","user":1,)";
    for (const char* damaged : {
             R"("mined":[]})",
             R"("mined":{"regtest":{"floor":-1,"marks":{}}}})",
             R"("mined":{"regtest":{"marks":{"0102030":5}}}})",
             R"("mined":{"regtest":{"marks":{"0102030G":5}}}})",
             R"("mined":{"regtest":{"marks":{"01020304":-5}}}})",
             R"("mined":{"regtest":{"floor":3}}})",
             R"("mined":{"regtest":{"floor":3,"floorSound":"yes","marks":{}}}})",
         }) {
        EXPECT_THROW(InstallationKey::decode(head + damaged), json::DecodeError) << damaged;
    }
}

// The heights kept for the walk only ever go down, a floor is known only where every start was
// kept or a walk found it, and nothing is written over a file that is not this key's.
TEST(InstallationRecord, KeepsTheLowestHeightsAndKnowsAFloorOnlyWhereItCan) {
    testing::TempDir place;
    const auto folder = place.path();
    const ExtranonceMark x{1, 1, 1, 1};
    const ExtranonceMark y{2, 2, 2, 2};
    const auto reread = [&] {
        return InstallationKey::decode(readFile(folder / InstallationKey::fileName));
    };

    InstallationRecord earlier(folder, kKey, "regtest");  // a key of the version before
    EXPECT_TRUE(earlier.noteMiningAt(x, 388));
    EXPECT_TRUE(earlier.noteMiningAt(x, 400));
    EXPECT_EQ(earlier.mined().marks, (std::map<ExtranonceMark, std::int64_t>{{x, 388}}));
    EXPECT_FALSE(earlier.mined().floor);  // blocks of that version may lie anywhere below
    EXPECT_TRUE(earlier.noteFloor(120));
    EXPECT_TRUE(earlier.noteFloor(150));
    EXPECT_TRUE(earlier.noteMiningAt(y, 90));
    EXPECT_EQ(reread().mined.at("regtest"),
              (MinedOnNetwork{{{x, 388}, {y, 90}}, std::int64_t(90)}));

    auto fresh = kKey;
    fresh.minedFromStart = true;
    InstallationRecord mainnet(folder, fresh, "mainnet");
    EXPECT_TRUE(mainnet.meet(0));
    EXPECT_TRUE(mainnet.noteMiningAt(x, 1));
    EXPECT_EQ(mainnet.mined().floor, 1);
    // What the other record wrote meanwhile is kept.
    EXPECT_EQ(reread().mined.at("regtest").floor, 90);
    EXPECT_TRUE(reread().minedFromStart);

    // Another installation's key in its place: left as it is.
    auto other = kKey;
    other.machine = "another";
    testing::writeText(folder / InstallationKey::fileName, other.encode());
    EXPECT_FALSE(mainnet.noteMiningAt(x, 5));
    EXPECT_EQ(reread(), other);
}

// A floor at the first job only for the record that met the network on a chain holding nothing
// past its first block, by a key that kept every start, and only when that job is right above
// the chain as met: a key derived again, restored from an older copy or of an earlier version
// leaves it unknown, so does a chain that grew before the first job (a first sync bringing blocks
// of ours back to a folder started over), and so does every later start, whatever the file it
// reads says of that meeting (put back from a copy, or left so by a full disk).
TEST(InstallationRecord, TakesTheFirstJobForTheFloorOnlyInTheStartThatSawTheChainEmpty) {
    const ExtranonceMark x{1, 1, 1, 1};
    const struct {
        const char* scenario;
        bool minedFromStart;
        std::optional<MinedOnNetwork> kept;  // what the file holds for the network
        std::int64_t chainAtMeeting;
        std::int64_t firstJob;
        std::optional<std::int64_t> floor;       // once the meeting start mines its first job
        std::optional<std::int64_t> floorLater;  // once a later start, the file as met, mines
    } cases[] = {
        {"new installation, new chain", true, std::nullopt, 0, 1, 1, std::nullopt},
        {"new installation, the chain synced before the first job", true, std::nullopt, 0, 300,
         std::nullopt, std::nullopt},
        {"new installation, one block came before the first job", true, std::nullopt, 0, 2,
         std::nullopt, std::nullopt},
        {"new installation on a chain that holds blocks", true, std::nullopt, 250, 251,
         std::nullopt, std::nullopt},
        {"key restored from before the first mining here", true, std::nullopt, 120, 121,
         std::nullopt, std::nullopt},
        {"key of an earlier version", false, std::nullopt, 0, 1, std::nullopt, std::nullopt},
        {"key lost and derived again", false, std::nullopt, 290, 291, std::nullopt, std::nullopt},
        {"met already, floor unknown", true, MinedOnNetwork{}, 0, 1, std::nullopt, std::nullopt},
        {"met already, floor known", true, MinedOnNetwork{{{x, 40}}, 12}, 290, 291, 12, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        testing::TempDir place;
        const auto file = place.path() / InstallationKey::fileName;
        auto key = kKey;
        key.minedFromStart = c.minedFromStart;
        if (c.kept) key.mined["regtest"] = *c.kept;
        testing::writeText(file, key.encode());
        InstallationRecord meeting(place.path(), key, "regtest");
        EXPECT_TRUE(meeting.meet(c.chainAtMeeting));
        const auto asMet = readFile(file);

        EXPECT_TRUE(meeting.noteMiningAt(x, c.firstJob));
        EXPECT_EQ(meeting.mined().floor, c.floor);
        EXPECT_EQ(InstallationKey::decode(readFile(file)).mined.at("regtest").floor, c.floor);
        // A later job, even right above a chain met empty, is no first job.
        EXPECT_TRUE(meeting.noteMiningAt(ExtranonceMark{2, 2, 2, 2}, c.firstJob + 1));
        EXPECT_EQ(meeting.mined().floor, c.floor);

        // The file put back as the meeting left it: a later start meets it again on a chain
        // that may hold nothing yet, and still knows no floor it did not see.
        testing::writeText(file, asMet);
        InstallationRecord later(place.path(), InstallationKey::decode(asMet), "regtest");
        EXPECT_TRUE(later.meet(0));
        EXPECT_TRUE(later.noteMiningAt(x, 300));
        EXPECT_EQ(later.mined().floor, c.floorLater);
        EXPECT_EQ(InstallationKey::decode(readFile(file)).mined.at("regtest").floor, c.floorLater);
    }
}

// The meeting's write fails (no room), the start mines on, and the file is then written by
// someone else or put back: only an entry this record wrote leaves it its first job.
TEST(InstallationRecord, AnEntryItDidNotWriteTakesTheFirstJobAwayFromTheFloor) {
    const ExtranonceMark x{1, 1, 1, 1};
    auto key = kKey;
    key.minedFromStart = true;
    for (const bool putBack : {false, true}) {
        SCOPED_TRACE(putBack ? "an entry put back" : "the file still missing");
        testing::TempDir place;
        const auto folder = place.path() / "support";
        testing::writeText(folder, "no room");  // every write fails
        InstallationRecord record(folder, key, "regtest");
        EXPECT_FALSE(record.meet(0));
        std::filesystem::remove(folder);
        if (putBack) {
            auto met = key;
            met.mined["regtest"] = {};
            testing::writeText(folder / InstallationKey::fileName, met.encode());
        }
        EXPECT_TRUE(record.noteMiningAt(x, 1));
        const auto floor = putBack ? std::nullopt : std::optional<std::int64_t>(1);
        EXPECT_EQ(InstallationKey::decode(readFile(folder / InstallationKey::fileName))
                      .mined.at("regtest")
                      .floor,
                  floor);
    }
}

// A file in the key's place that is not this key, or cannot be read, is never written over when
// a start merges what it knows into it.
TEST(InstallationRecord, NeverWritesOverAFileItCannotTake) {
    const ExtranonceMark x{1, 1, 1, 1};
    const auto other = [] {
        auto key = kKey;
        key.machine = "another";
        return key.encode();
    }();
    const struct {
        const char* scenario;
        std::function<void(const std::filesystem::path&)> place;
    } cases[] = {
        {"another installation's key", [&](const auto& file) { testing::writeText(file, other); }},
        {"damaged", [](const auto& file) { testing::writeText(file, R"({"folder": )"); }},
        {"past its bound",
         [](const auto& file) {
             testing::writeText(file, std::string(InstallationKey::fileBound + 1, ' '));
         }},
        {"a link to a key",
         [&](const auto& file) {
             const auto target = file.parent_path() / "elsewhere.json";
             testing::writeText(target, kKey.encode());
             std::filesystem::create_symlink(target, file);
         }},
        {"a FIFO", [](const auto& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        testing::TempDir place;
        const auto file = place.path() / InstallationKey::fileName;
        InstallationRecord record(place.path(), kKey, "regtest");
        EXPECT_TRUE(record.meet(0));
        std::filesystem::remove(file);
        c.place(file);
        const auto status = std::filesystem::symlink_status(file).type();
        const auto before = status == std::filesystem::file_type::regular ? readFile(file) : "";
        EXPECT_FALSE(record.noteMiningAt(x, 300));
        EXPECT_FALSE(record.noteFloor(2));
        EXPECT_EQ(std::filesystem::symlink_status(file).type(), status);
        if (status == std::filesystem::file_type::regular) {
            EXPECT_EQ(readFile(file), before);
        }
        // What it knows stays in memory for the next write that may go through.
        EXPECT_EQ(record.mined().marks.at(x), 300);
    }
}

// Two starts on one folder, one of which met the network on a chain that held blocks: the floor
// stays unknown whichever writes last.
TEST(InstallationRecord, AFloorAtTheFirstJobNeedsEveryCopyToHaveMetANewChain) {
    testing::TempDir place;
    auto key = kKey;
    key.minedFromStart = true;
    for (const bool newChainFirst : {true, false}) {
        SCOPED_TRACE(newChainFirst);
        std::filesystem::remove(place.path() / InstallationKey::fileName);
        InstallationRecord first(place.path(), key, "regtest");
        InstallationRecord second(place.path(), key, "regtest");
        EXPECT_TRUE(first.meet(newChainFirst ? 0 : 40));
        EXPECT_TRUE(second.meet(newChainFirst ? 40 : 0));
        EXPECT_TRUE(second.noteMiningAt(ExtranonceMark{1, 1, 1, 1}, 1));
        EXPECT_TRUE(first.noteMiningAt(ExtranonceMark{1, 1, 1, 1}, 1));
        const auto onDisk =
            InstallationKey::decode(readFile(place.path() / InstallationKey::fileName));
        EXPECT_FALSE(onDisk.mined.at("regtest").floor);
    }
}

// The key an earlier version kept inside the history folder moves beside the stores once, so that
// removing the history folder never changes the marks; one already beside them is never replaced.
TEST(InstallationKey, MovesOutOfTheHistoryFolderOnceAndOutlivesIt) {
    testing::TempDir place;
    const auto support = place.path() / "Corvanta";
    const auto history = support / "history";
    auto earlier = kKey;
    earlier.folder = history.string();
    testing::writeText(history / InstallationKey::fileName, earlier.encode());
    int derivations = 0;
    const auto derive = [&] {
        ++derivations;
        return kKey;
    };
    EXPECT_EQ(InstallationKey::keptIn(support, history, derive), earlier);
    EXPECT_FALSE(std::filesystem::exists(history / InstallationKey::fileName));
    std::filesystem::remove_all(history);
    EXPECT_EQ(InstallationKey::keptIn(support, history, derive), earlier);
    EXPECT_EQ(derivations, 0);
    // A key left in the history folder beside one already moved stays where it is.
    testing::writeText(history / InstallationKey::fileName, kKey.encode());
    EXPECT_EQ(InstallationKey::keptIn(support, history, derive), earlier);
    EXPECT_EQ(InstallationKey::decode(readFile(history / InstallationKey::fileName)), kKey);
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
    const auto first = InstallationKey::keptIn(folder, folder, deriveWith("2f1e"));
    EXPECT_EQ(first.machine, "2f1e");
    const auto mark = BlockOwnership::of(first, kScript).mark;
    // The machine id hidden, then another machine: the kept key stands.
    EXPECT_EQ(InstallationKey::keptIn(folder, folder, deriveWith("")), first);
    EXPECT_EQ(InstallationKey::keptIn(folder, folder, deriveWith("9a9a")), first);
    EXPECT_EQ(derivations, 1);
    // Moved, as a restored backup is.
    const auto moved = place.path() / "restored";
    std::filesystem::rename(folder, moved);
    EXPECT_EQ(
        BlockOwnership::of(InstallationKey::keptIn(moved, moved, deriveWith("9a9a")), kScript).mark,
        mark);
    EXPECT_EQ(derivations, 1);
    // The real derivation keeps its key too.
    const auto real = InstallationKey::keptIn(place.path() / "real", place.path() / "real");
    EXPECT_EQ(InstallationKey::keptIn(place.path() / "real", place.path() / "real"), real);
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
        EXPECT_EQ(InstallationKey::keptIn(folder, folder, derive,
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
    EXPECT_EQ(InstallationKey::keptIn(folder, folder, derive), kKey);
    EXPECT_EQ(InstallationKey::decode(readFile(elsewhere)), linked);
}

}  // namespace
}  // namespace corvanta
