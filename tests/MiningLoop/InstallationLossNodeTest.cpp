// The installation's files lost one after another, in every order that sealed blocks away before:
// whatever goes first, a later loss of the history brings every block of ours back once, because
// the floor below which none lies only ever comes from a walk that began at the lowest block.
#include <functional>

#include "HistoryCodec.h"
#include "MiningLoopNodeFixture.h"
#include "TestHttpServer.h"
#include "corvanta/loop/InstallationRecord.h"
#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using namespace corvanta::testing;

class InstallationLossTest : public MiningLoopNodeTest {
  public:
    // What a user may lose, one store at a time.
    void loseKey() { std::filesystem::remove(keyFile()); }
    void emptyKey() { writeText(keyFile(), ""); }
    // As a copy made before the network was first met holds it.
    void keyWithoutMined() {
        auto key = InstallationKey::decode(readFile(keyFile()));
        key.mined.clear();
        writeText(keyFile(), key.encode());
    }
    void keyAsLink() {
        const auto copy = keyFile().string() + ".dotfiles";
        std::filesystem::rename(keyFile(), copy);
        std::filesystem::create_symlink(copy, keyFile());
    }
    // As 0.1.2 left a key put back as it met the network: its floor raised over every block of
    // ours by the first job of a later start, the floor written without a word of its soundness.
    void floorRaisedByAnEarlierVersion() {
        auto key = json::parse(readFile(keyFile()));
        auto& regtest = key["mined"]["regtest"];
        regtest["floor"] = blockCount() + 1;
        regtest.erase("floorSound");
        writeText(keyFile(), json::dump(key));
    }
    // The next start meets a chain holding nothing past its first block, which grows back to
    // what it was before that start's first job: as a first sync brings the chain to a node
    // folder made anew, with blocks the same marks mined before the folder was started over.
    void chainGrowsAfterTheNextMeeting() { chainGrowsAfterMeeting_ = true; }
    void loseHistory() { std::filesystem::remove_all(historyFile().parent_path()); }
    void losePlace() { std::filesystem::remove(walkRecordFile()); }
    void loseRejected() { std::filesystem::remove_all(rejectedDirectory()); }
    void loseEverythingButTheChain() {
        loseKey();
        loseHistory();
        losePlace();
        loseRejected();
    }
    // The key as a copy from before the network was first met holds it, put back with the
    // history and the walk's place of that moment (none).
    void keyRestoredFromBeforeTheFirstMining() {
        keyWithoutMined();
        loseHistory();
        losePlace();
    }
    // The two lowest records on the chain kept as the summary a history folds them into at its
    // bound; any record of a block the chain lost to another goes.
    void foldLowestTwo() {
        const MiningHistoryStore whole(historyFile());
        const auto kept = onChain(*client_, whole.allBlocks());
        std::vector<FoundBlock> blocks;
        for (const auto& block : whole.allBlocks()) {
            const auto found = kept.find(block.height);
            if (found != kept.end() && found->second == block.blockHash) blocks.push_back(block);
        }
        std::sort(blocks.begin(), blocks.end(),
                  [](const FoundBlock& a, const FoundBlock& b) { return a.height < b.height; });
        ASSERT_GE(blocks.size(), 3u);
        const MiningHistoryStore::Folded folded{2, blocks[0].rewardSats + blocks[1].rewardSats,
                                                blocks[0].height, blocks[1].height};
        json::Value file = json::Value::array();
        file.push_back(loop::encodeFolded(folded));
        for (std::size_t i = 2; i < blocks.size(); ++i)
            file.push_back(loop::encodeBlock(blocks[i]));
        std::filesystem::remove(historyFile().string() + ".journal");
        writeText(historyFile(), json::dump(file));
    }

  protected:
    std::filesystem::path keyFile() const { return dir_.path() / InstallationKey::fileName; }

    // As a session finds the installation: a folder holding nothing of it is new, and the network
    // is met before any mining, at the chain's height then.
    std::shared_ptr<InstallationRecord> sessionInstallation() {
        const auto empty = [](const std::filesystem::path& path) {
            std::error_code error;
            return !std::filesystem::exists(std::filesystem::symlink_status(path, error)) ||
                   (std::filesystem::is_directory(path, error) &&
                    std::filesystem::is_empty(path, error));
        };
        const bool neverMined = empty(keyFile()) && empty(historyFile().parent_path()) &&
                                empty(walkRecordFile()) && empty(rejectedDirectory());
        auto key = InstallationKey::keptIn(dir_.path(), historyFile().parent_path());
        key.minedFromStart = key.minedFromStart || neverMined;
        auto record = std::make_shared<InstallationRecord>(dir_.path(), key, "regtest");
        if (!std::exchange(chainGrowsAfterMeeting_, false)) {
            record->meet(blockCount());
            return record;
        }
        const auto firstBlock = client_->call("getblockhash", {RPCParam::integer(1)}, 10, {});
        client_->callOptional("invalidateblock",
                              {RPCParam::string(json::as<std::string>(firstBlock))}, 30, {});
        EXPECT_EQ(blockCount(), 0);
        record->meet(blockCount());
        client_->callOptional("reconsiderblock",
                              {RPCParam::string(json::as<std::string>(firstBlock))}, 30, {});
        EXPECT_GT(blockCount(), 1);
        return record;
    }

    // The marks do not depend on when the key was derived: the same for every key of this folder.
    BlockOwnership owner(Bytes payoutScript = {0x51}) const {
        return BlockOwnership::of(
            BlockOwnership::keyForThisUser(historyFile().parent_path(), WallClock::now()),
            std::move(payoutScript));
    }

    std::optional<std::int64_t> keptFloor() const {
        return InstallationKey::decode(readFile(keyFile())).mined.at("regtest").floor;
    }

    // A start that mines until `n` more of its blocks are on the chain, paying `payoutScript`.
    void mineFor(std::size_t n, Bytes payoutScript = {0x51}) {
        history_ = std::make_shared<MiningHistoryStore>(historyFile());
        const auto target = blocksOf(*client_, owner()).size() + n;
        engine_->setPaused(false);
        startMining(makeCoordinator(owner(std::move(payoutScript)), {}, {}, walkRecordFile(),
                                    sessionInstallation()));
        const auto found =
            eventually([&] { return onChain(*client_, history_->allBlocks()).size() >= target; });
        stopMining();
        ASSERT_TRUE(found);
    }

    // A start that hashes nothing and ends once its walk has checked the chain to the tip: a new
    // tip (not ours), so that a place an earlier walk left there cannot pass for this one's.
    void startUntilWalked() {
        history_ = std::make_shared<MiningHistoryStore>(historyFile());
        engine_->setPaused(true);
        generate(1);
        const auto tip = blockCount();
        startMining(makeCoordinator(owner(), {}, {}, walkRecordFile(), sessionInstallation()));
        const auto walked = eventually([&] {
            const auto place = placeOf(walkRecordFile());
            return place && place->height >= tip;
        });
        stopMining();
        ASSERT_TRUE(walked);
    }

    // What the support folder holds of the installation (the key, the history, the rejected and
    // pending blocks, the best difficulty), copied as it stands.
    struct Copy {
        TempDir folder;
    };
    std::vector<std::filesystem::path> installationFiles() const {
        return {keyFile(), historyFile().parent_path(), rejectedDirectory(), bestDifficultyFile()};
    }
    // Copies what stands at `from`, links as links; nothing when nothing stands there.
    static void copyAsItStands(const std::filesystem::path& from, const std::filesystem::path& to) {
        if (!std::filesystem::exists(std::filesystem::symlink_status(from))) return;
        std::filesystem::copy(from, to,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
    }
    std::shared_ptr<Copy> copyOfTheFolder() const {
        auto copy = std::make_shared<Copy>();
        for (const auto& path : installationFiles()) {
            copyAsItStands(path, copy->folder.path() / path.filename());
        }
        return copy;
    }
    // The key alone, or everything the copy held, back in place: what it did not hold goes too.
    void putBack(const Copy& copy, bool wholeFolder) {
        for (const auto& path : installationFiles()) {
            if (!wholeFolder && path != keyFile()) continue;
            std::filesystem::remove_all(path);
            copyAsItStands(copy.folder.path() / path.filename(), path);
        }
    }

    // A block of ours at `height` on a branch beside the chain, solved and held as pending: one
    // a start finds held over an absence and records below the walk's place.
    PendingBlock sideBranchBlockAt(std::int64_t height) const {
        auto blockTemplate =
            BlockTemplate::fetch(*client_, TemplateRules::segwit, std::nullopt, {});
        blockTemplate.height = height;
        blockTemplate.previousBlockHash = json::as<std::string>(
            client_->call("getblockhash", {RPCParam::integer(height - 1)}, 10, {}));
        const MiningJob job(blockTemplate, owner().payoutPlan(), TemplateRules::segwit);
        const BlockMiner miner(std::make_shared<CPUEngine>(1));
        const auto outcome =
            miner.mine(job.candidate(0, std::nullopt), NonceRange(0, 10'000'000), {});
        EXPECT_TRUE(outcome);
        return PendingBlock::fromOutcome(*outcome, height, WallClock::now());
    }

    // Once a walk from the lowest block rebuilt the history: every block of ours once, and a floor
    // known at or below the lowest of them.
    void expectEveryBlockOfOursOnceAboveAFloor() const {
        expectEveryBlockOfOursOnce();
        const auto floor = keptFloor();
        ASSERT_TRUE(floor);
        EXPECT_LE(*floor, blocksOf(*client_, owner()).begin()->first);
    }

    void expectEveryBlockOfOursOnce() const {
        const auto ours = blocksOf(*client_, owner());
        const MiningHistoryStore onDisk(historyFile());
        const auto recorded = onChain(*client_, onDisk.allBlocks());
        const auto folded = onDisk.folded() ? onDisk.folded()->count : 0;
        // Every block of ours is a record, or lies in the summary, never both.
        for (const auto& [height, hash] : ours) {
            const bool inSummary = onDisk.folded() && height <= onDisk.folded()->highestHeight;
            EXPECT_EQ(recorded.count(height) + (inSummary ? 1 : 0), 1u) << height;
        }
        EXPECT_EQ(std::int64_t(recorded.size()) + folded, std::int64_t(ours.size()));
    }

  private:
    bool chainGrowsAfterMeeting_ = false;
};

struct Loss {
    const char* scenario;
    // What goes at one start, and what goes at a later one.
    std::function<void(InstallationLossTest&)> first;
    std::function<void(InstallationLossTest&)> then;
    bool floorKnownAfterFirst;
};

const Loss kLosses[] = {
    {"KeyDeletedThenHistory", &InstallationLossTest::loseKey, &InstallationLossTest::loseHistory,
     true},
    {"KeyEmptiedThenHistory", &InstallationLossTest::emptyKey, &InstallationLossTest::loseHistory,
     true},
    {"KeyWithoutMinedThenHistory", &InstallationLossTest::keyWithoutMined,
     &InstallationLossTest::loseHistory, true},
    {"KeyALinkThenHistory", &InstallationLossTest::keyAsLink, &InstallationLossTest::loseHistory,
     true},
    {"KeyRestoredFromBeforeTheFirstMiningWithHistoryAndPlace",
     &InstallationLossTest::keyRestoredFromBeforeTheFirstMining, &InstallationLossTest::loseHistory,
     true},
    {"EverythingButTheChain", &InstallationLossTest::loseEverythingButTheChain,
     &InstallationLossTest::loseHistory, true},
    // A walk above a folded summary checked nothing below it: it tells no floor.
    {"KeyLostWhileTheHistoryIsFoldedThenHistory",
     [](InstallationLossTest& t) {
         t.foldLowestTwo();
         t.loseKey();
         t.losePlace();
     },
     &InstallationLossTest::loseHistory, false},
    // A user starting over: the same marks, an empty node folder, then a first sync that brings
    // the chain back between the meeting and the first job.
    {"FolderWipedWholeThenAFirstSyncBeforeTheFirstJob",
     [](InstallationLossTest& t) {
         t.loseEverythingButTheChain();
         t.chainGrowsAfterTheNextMeeting();
     },
     &InstallationLossTest::loseHistory, true},
    {"KeyFromBeforeTheMeetingThenAFirstSyncBeforeTheFirstJob",
     [](InstallationLossTest& t) {
         t.keyRestoredFromBeforeTheFirstMining();
         t.chainGrowsAfterTheNextMeeting();
     },
     &InstallationLossTest::loseHistory, true},
    {"FloorAnEarlierVersionRaisedThenHistory", &InstallationLossTest::floorRaisedByAnEarlierVersion,
     &InstallationLossTest::loseHistory, true},
};

void PrintTo(const Loss& loss, std::ostream* out) {
    *out << loss.scenario;
}

class LossOrderTest : public InstallationLossTest, public ::testing::WithParamInterface<Loss> {};

TEST_P(LossOrderTest, EveryBlockOfOursComesBackOnce) {
    const auto& loss = GetParam();
    // A new installation: its first job is kept as the floor before anything is hashed.
    engine_->setPaused(true);
    startMining(makeCoordinator(owner(), {}, {}, walkRecordFile(), sessionInstallation()));
    ASSERT_TRUE(eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    const auto firstJob = log_.all<TemplateReceived>().front().height;
    EXPECT_EQ(keptFloor(), firstJob);
    EXPECT_EQ(
        InstallationKey::decode(readFile(keyFile())).mined.at("regtest").marks.at(owner().mark),
        firstJob);

    ASSERT_NO_FATAL_FAILURE(mineFor(3));
    generate(4);
    ASSERT_NO_FATAL_FAILURE(mineFor(2));

    loss.first(*this);
    ASSERT_NO_FATAL_FAILURE(startUntilWalked());
    const auto ours = blocksOf(*client_, owner());
    ASSERT_GE(ours.size(), 5u);
    const auto floor = keptFloor();
    EXPECT_EQ(floor.has_value(), loss.floorKnownAfterFirst);
    if (floor) {
        EXPECT_LE(*floor, ours.begin()->first);
    }
    expectEveryBlockOfOursOnce();
    ASSERT_NO_FATAL_FAILURE(mineFor(1));

    loss.then(*this);
    ASSERT_NO_FATAL_FAILURE(startUntilWalked());
    expectEveryBlockOfOursOnceAboveAFloor();
}

INSTANTIATE_TEST_SUITE_P(Losses, LossOrderTest, ::testing::ValuesIn(kLosses),
                         [](const auto& info) { return std::string(info.param.scenario); });

// The moments the key file passes through, each written by the application.
enum class Moment {
    beforeMeeting,  // the key before this network was met (as another network's meeting left it)
    meeting,        // the network met on a chain holding nothing, before the first job
    firstJob,       // the first job kept as the mark's height and the floor
    addressChange,  // a second mark, for another payout script
    afterFloor,     // a floor a walk from the lowest block set, after the key was lost
};

struct PutBack {
    const char* scenario;
    Moment moment;
    bool wholeFolder;  // the support folder as it stood then, not the key alone
    // The start it is put back for meets an empty chain that a first sync then brings back.
    bool firstSyncAfterThePutBack = false;
};

const PutBack kPutBacks[] = {
    {"KeyFromBeforeTheMeetingThenAFirstSync", Moment::beforeMeeting, false, true},
    {"FolderFromBeforeTheMeetingThenAFirstSync", Moment::beforeMeeting, true, true},
    {"KeyAsMetThenAFirstSync", Moment::meeting, false, true},
    {"KeyAsMet", Moment::meeting, false},
    {"FolderAsMet", Moment::meeting, true},
    {"KeyAtTheFirstJob", Moment::firstJob, false},
    {"FolderAtTheFirstJob", Moment::firstJob, true},
    {"KeyAfterAnAddressChange", Moment::addressChange, false},
    {"FolderAfterAnAddressChange", Moment::addressChange, true},
    {"KeyAfterAFloor", Moment::afterFloor, false},
    {"FolderAfterAFloor", Moment::afterFloor, true},
};

void PrintTo(const PutBack& row, std::ostream* out) {
    *out << row.scenario;
}

class PutBackTest : public InstallationLossTest, public ::testing::WithParamInterface<PutBack> {};

// A copy of the key, or of its whole folder, from any moment the application wrote it, put back
// at a later start after more blocks were found, then the history lost: every block of ours comes
// back once, since no start after the meeting takes its own first job for the floor.
TEST_P(PutBackTest, EveryBlockOfOursComesBackOnce) {
    const auto& row = GetParam();
    std::shared_ptr<Copy> copy;
    const auto at = [&](Moment moment) {
        if (row.moment == moment) copy = copyOfTheFolder();
    };
    engine_->setPaused(true);
    const auto met = sessionInstallation();
    at(Moment::meeting);
    if (row.moment == Moment::beforeMeeting) {
        copy = copyOfTheFolder();
        const auto copiedKey = copy->folder.path() / keyFile().filename();
        auto key = InstallationKey::decode(readFile(copiedKey));
        key.mined.clear();
        writeText(copiedKey, key.encode());
    }
    startMining(makeCoordinator(owner(), {}, {}, walkRecordFile(), met));
    ASSERT_TRUE(eventually([&] { return !log_.all<WorkLoaded>().empty(); }));
    stopMining();
    EXPECT_EQ(keptFloor(), log_.all<TemplateReceived>().front().height);
    at(Moment::firstJob);
    ASSERT_NO_FATAL_FAILURE(mineFor(3));
    generate(4);
    ASSERT_NO_FATAL_FAILURE(mineFor(2, {0x52}));
    at(Moment::addressChange);
    loseKey();
    ASSERT_NO_FATAL_FAILURE(startUntilWalked());
    ASSERT_TRUE(keptFloor());
    at(Moment::afterFloor);
    ASSERT_NO_FATAL_FAILURE(mineFor(2));
    ASSERT_TRUE(copy);

    putBack(*copy, row.wholeFolder);
    if (row.firstSyncAfterThePutBack) chainGrowsAfterTheNextMeeting();
    ASSERT_NO_FATAL_FAILURE(mineFor(1));
    loseHistory();
    losePlace();
    ASSERT_NO_FATAL_FAILURE(startUntilWalked());
    expectEveryBlockOfOursOnceAboveAFloor();
}

INSTANTIATE_TEST_SUITE_P(Copies, PutBackTest, ::testing::ValuesIn(kPutBacks),
                         [](const auto& info) { return std::string(info.param.scenario); });

// No room from the meeting to the end of the first start: the key keeps what the meeting wrote
// while the blocks are held in memory and lost at the quit. With room again, the next start does
// not take its own first job for the floor, and a later loss of the history brings every one back.
TEST_F(InstallationLossTest, ADiskFullFromTheMeetingOnSealsNoBlockAway) {
    const auto met = sessionInstallation();
    const auto asMet = readFile(keyFile());
    // No write goes through: not the key's, the history's nor a pending block's.
    std::filesystem::remove(keyFile());
    writeText(keyFile() / "no room", "");
    writeText(historyFile().parent_path(), "no room");
    writeText(rejectedDirectory(), "no room");
    history_ = std::make_shared<MiningHistoryStore>(historyFile());
    engine_->setPaused(false);
    startMining(makeCoordinator(owner(), {}, {}, walkRecordFile(), met));
    ASSERT_TRUE(eventually([&] { return history_->allBlocks().size() >= 3; }));
    stopMining();
    EXPECT_FALSE(history_->isSaved());

    std::filesystem::remove_all(keyFile());
    writeText(keyFile(), asMet);
    std::filesystem::remove(historyFile().parent_path());
    std::filesystem::remove(rejectedDirectory());
    ASSERT_NO_FATAL_FAILURE(mineFor(2));
    loseHistory();
    losePlace();
    ASSERT_NO_FATAL_FAILURE(startUntilWalked());
    expectEveryBlockOfOursOnce();
    ASSERT_GE(blocksOf(*client_, owner()).size(), 5u);
}

// One record gone from the history and one block held over an absence recorded below the walk's
// place the loop wrote: the count is as the place says. A torn journal line is refused as the
// history is read; a record simply gone leaves only the place's digest to tell the held block
// from the one missing. Either way the walk brings the missing record's block back.
TEST_F(InstallationLossTest, ARecordGoneBesideAHeldBlockBelowThePlaceIsFoundAgain) {
    for (const bool tornLine : {true, false}) {
        SCOPED_TRACE(tornLine ? "its journal line torn" : "its record gone, the count kept");
        ASSERT_NO_FATAL_FAILURE(mineFor(3));
        generate(2);
        ASSERT_NO_FATAL_FAILURE(mineFor(2));
        const auto place = placeOf(walkRecordFile());
        ASSERT_TRUE(place);
        // The walk records a block it finds: the lowest of this round's, below the place.
        const auto blocks = onChain(*client_, MiningHistoryStore(historyFile()).allBlocks());
        ASSERT_GE(blocks.size(), 5u);
        const auto victimHeight = std::prev(blocks.end(), 5)->first;
        ASSERT_LE(victimHeight, place->height);
        std::vector<FoundBlock> kept;
        std::optional<FoundBlock> victim;
        for (const auto& block : MiningHistoryStore(historyFile()).allBlocks()) {
            if (!victim && block.height == victimHeight &&
                block.blockHash == blocks.at(victimHeight)) {
                victim = block;
            } else {
                kept.push_back(block);
            }
        }
        ASSERT_TRUE(victim);
        writeText(historyFile(), MiningHistoryStore::encode(kept));
        const auto line = json::dump(loop::encodeBlock(*victim));
        writeText(historyFile().string() + ".journal",
                  tornLine ? line.substr(0, line.size() / 2) : std::string());
        PendingBlockStore::write(sideBranchBlockAt(victimHeight + 1), pendingDirectory());

        ASSERT_NO_FATAL_FAILURE(startUntilWalked());
        const MiningHistoryStore after(historyFile());
        EXPECT_TRUE(after.contains(victim->blockHash));
        expectEveryBlockOfOursOnce();
    }
}

}  // namespace
}  // namespace corvanta
