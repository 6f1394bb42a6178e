// The product's loop, as a session holds it, writes what a failed write left in memory once asked.
#include <gtest/gtest.h>

#include "Session/HeldRecords.h"
#include "Session/SessionMiner.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

TEST(HeldRecords, TheProductsLoopWritesWhatItHeldOnceItsFolderTakesFilesAgain) {
    testing::TempDir dir;
    const auto historyFile = dir.path() / "history" / "regtest.json";
    testing::writeText(historyFile.parent_path(), "a file where the history folder should be");
    // Nothing here talks to a node: the records are put in the loop's history directly.
    const auto miner = makeCoordinatorMiner(
        {.network = BitcoinNetwork::regtest,
         .client = std::make_shared<RPCClient>("http://127.0.0.1:9/", RPCCredentials{"u", "p"}),
         .controller = nullptr,
         .engine = std::make_shared<CPUEngine>(1),
         .payoutScript = {0x51},
         .rejectedBlockDirectory = dir.path() / "rejected",
         .bestDifficultyFile = dir.path() / "best.json",
         .historyFile = historyFile,
         .history = nullptr});
    const std::vector<std::uint8_t> hash(32, 9);
    EXPECT_THROW(miner->historyStore()->recordSubmission(
                     7, hash, hash, 1, {SubmissionResult::Accepted{}}, WallClock::now()),
                 FileWriteError);
    EXPECT_FALSE(saveHeldRecords(*miner));

    std::filesystem::remove(historyFile.parent_path());
    EXPECT_TRUE(saveHeldRecords(*miner));
    const auto saved = MiningHistoryStore(historyFile).allBlocks();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].height, 7);
    EXPECT_EQ(saved[0].blockHash, hash);
}

}  // namespace
}  // namespace corvanta
