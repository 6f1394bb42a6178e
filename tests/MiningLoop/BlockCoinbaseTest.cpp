// The coinbase as the history's reconciliation reads it from the node's raw blocks.
#include <gtest/gtest.h>

#include "LoopFakes.h"
#include "corvanta/loop/BlockCoinbase.h"

namespace corvanta {
namespace {

using testing::makeJob;

// A block as the miner writes it: the same hash, coinbase id, time and outputs come back, with and
// without a witness (the witness commitment adds one output and the coinbase's witness).
TEST(BlockCoinbase, ReadsWhatTheMinerWrote) {
    for (const bool witness : {false, true}) {
        SCOPED_TRACE(witness ? "with witness" : "without witness");
        BlockTemplate blockTemplate;
        blockTemplate.version = 0x20000000;
        blockTemplate.previousBlockHash = std::string(64, '1');
        blockTemplate.coinbaseValue = 5'000'000'123;
        blockTemplate.target = "7fffff" + std::string(58, '0');
        blockTemplate.bits = "207fffff";
        blockTemplate.curTime = 1'700'000'100;
        blockTemplate.height = 300;
        if (witness) blockTemplate.defaultWitnessCommitment = "6a24aa21a9ed" + std::string(64, 'c');
        const Bytes script{0x00, 0x14, 1,  2,  3,  4,  5,  6,  7,  8,  9,
                           10,   11,   12, 13, 14, 15, 16, 17, 18, 19, 20};
        const MiningJob job(blockTemplate, CoinbasePayoutPlan::everythingToMiner(script),
                            TemplateRules::segwit);
        const auto candidate = job.candidate(7, std::nullopt);
        const auto block = candidate.serialized(42);

        const auto read = BlockCoinbase::decode(block);
        ASSERT_TRUE(read);
        auto header = candidate.header;
        header.nonce = 42;
        const auto headerBytes = header.serialized();
        EXPECT_EQ(read->blockHash, doubleSHA256(headerBytes));
        EXPECT_EQ(read->time, 1'700'000'100u);
        EXPECT_EQ(read->coinbaseTxID, candidate.coinbaseTxid);
        EXPECT_EQ(read->outputs.size(), witness ? 2u : 1u);
        EXPECT_EQ(read->satsPaidTo(script), 5'000'000'123);
        EXPECT_EQ(read->satsPaidTo(Bytes{0x51}), 0);
    }
}

// A node's reply is input like any: nothing out of shape is believed.
TEST(BlockCoinbase, RefusesWhatIsNoBlockBeginningWithACoinbase) {
    const auto block = makeJob(1, "lp").candidate(0, std::nullopt).serialized(0);
    ASSERT_TRUE(BlockCoinbase::decode(block));
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        EXPECT_FALSE(BlockCoinbase::decode(std::span(block).first(cut))) << "cut at " << cut;
    }
    auto spending = block;
    spending[80 + 1 + 4 + 1] = 1;  // the input spends an outpoint: no coinbase
    EXPECT_FALSE(BlockCoinbase::decode(spending));
    auto none = Bytes(block.begin(), block.begin() + 80);
    none.push_back(0);  // no transaction at all
    EXPECT_FALSE(BlockCoinbase::decode(none));
    auto tooRich = block;
    // The first output's amount (after the count), set beyond all the money there is.
    const std::size_t scriptLength = block[80 + 1 + 4 + 1 + 36];
    const std::size_t amount = 80 + 1 + 4 + 1 + 36 + 1 + scriptLength + 4 + 1;
    std::fill(tooRich.begin() + std::ptrdiff_t(amount),
              tooRich.begin() + std::ptrdiff_t(amount + 8), 0xFF);
    EXPECT_FALSE(BlockCoinbase::decode(tooRich));
}

BlockTemplate templateAt(std::int64_t height) {
    BlockTemplate blockTemplate;
    blockTemplate.version = 0x20000000;
    blockTemplate.previousBlockHash = std::string(64, '2');
    blockTemplate.coinbaseValue = 312'500'000;
    blockTemplate.target = "7fffff" + std::string(58, '0');
    blockTemplate.bits = "207fffff";
    blockTemplate.curTime = 1'700'000'100;
    blockTemplate.height = height;
    blockTemplate.defaultWitnessCommitment = "6a24aa21a9ed" + std::string(64, 'c');
    return blockTemplate;
}

// The height and the mark are read back from exactly what the miner writes, whatever the height's
// push looks like; the coinbase alone reads as it does inside its block.
TEST(BlockCoinbase, ReadsTheHeightAndTheMarkTheMinerWrote) {
    const ExtranonceMark mark{9, 8, 7, 6};
    for (const std::int64_t height :
         {0, 1, 16, 17, 127, 128, 255, 256, 32'767, 32'768, 840'000, 2'147'483'647}) {
        SCOPED_TRACE(height);
        const MiningJob job(templateAt(height), CoinbasePayoutPlan::everythingToMiner({0x51}, mark),
                            TemplateRules::segwit);
        const auto candidate = job.candidate(0xFFFF'FFFF, std::nullopt);
        const auto read = BlockCoinbase::decode(candidate.serialized(3));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->pushedHeight(), height);
        EXPECT_EQ(read->extranonceMark(), mark);
        const auto alone = BlockCoinbase::decodeTransaction(candidate.coinbaseBytes);
        ASSERT_TRUE(alone);
        EXPECT_EQ(alone->coinbaseTxID, read->coinbaseTxID);
        EXPECT_EQ(alone->scriptSig, read->scriptSig);
        EXPECT_EQ(alone->outputs, read->outputs);
        // An unmarked miner's coinbase reads with the zero mark: no installation's.
        const MiningJob unmarked(templateAt(height), CoinbasePayoutPlan::everythingToMiner({0x51}),
                                 TemplateRules::segwit);
        EXPECT_EQ(BlockCoinbase::decode(unmarked.candidate(5, {}).serialized(0))->extranonceMark(),
                  ExtranonceMark{});
    }
}

// Any other script shape has no mark, even where its bytes would line up.
TEST(BlockCoinbase, ScriptsOfAnotherShapeCarryNoMark) {
    const auto marked = [](std::string scriptHex) {
        BlockCoinbase coinbase;
        coinbase.scriptSig = testing::bytesFromHex(scriptHex);
        return coinbase.extranonceMark();
    };
    EXPECT_EQ(marked("016c0801000000deadbeef"), (ExtranonceMark{0xde, 0xad, 0xbe, 0xef}));
    EXPECT_FALSE(marked("016c0801000000deadbeef00"));  // more after the extranonce
    EXPECT_FALSE(marked("016c0701000000deadbe"));      // a 7-byte push
    EXPECT_FALSE(marked("026c000801000000deadbeef"));  // a height pushed with a needless byte
    EXPECT_FALSE(marked("0801000000deadbeef"));        // no height push first
    EXPECT_FALSE(marked(""));
    // The genesis block's script: its first push reads as a number, but not as its height (0),
    // and what follows is no extranonce.
    BlockCoinbase genesis;
    genesis.scriptSig = testing::bytesFromHex("04ffff001d0104");
    EXPECT_EQ(genesis.pushedHeight(), 0x1d00ffff);
    EXPECT_FALSE(genesis.extranonceMark());

    const MiningJob job(templateAt(500),
                        CoinbasePayoutPlan::everythingToMiner({0x51}, {1, 2, 3, 4}),
                        TemplateRules::segwit);
    auto bytes = job.candidate(0, {}).coinbaseBytes;
    EXPECT_TRUE(BlockCoinbase::decodeTransaction(bytes));
    bytes.push_back(0);  // a second transaction's beginning is no coinbase alone
    EXPECT_FALSE(BlockCoinbase::decodeTransaction(bytes));
}

}  // namespace
}  // namespace corvanta
