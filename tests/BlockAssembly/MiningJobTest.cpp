#include "corvanta/assembly/MiningJob.h"

#include <functional>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/assembly/CoinbaseTransaction.h"
#include "corvanta/assembly/Merkle.h"

namespace corvanta {
namespace {

using testing::displayHash;
using testing::fixtureResult;
using testing::hex;

const CoinbasePayoutPlan kPayToOpTrue = CoinbasePayoutPlan::everythingToMiner({0x51});

BlockTemplate withOneTransaction() {
    return BlockTemplate::fromJson(fixtureResult("gbt-with-1-tx.json"));
}

// The field named by the job's refusal of `t`, or "" when a job is made.
std::string refusedField(const BlockTemplate& t, const CoinbasePayoutPlan& plan = kPayToOpTrue) {
    try {
        MiningJob job(t, plan);
        return "";
    } catch (const BlockAssemblyError& error) {
        if (const auto* field =
                std::get_if<BlockAssemblyError::MalformedTemplateField>(&error.kind())) {
            return field->field;
        }
        return error.what();
    }
}

TEST(MiningJobTest, ConvertsTheTemplateOnce) {
    const BlockTemplate t = withOneTransaction();
    const MiningJob job(t, kPayToOpTrue);
    EXPECT_EQ(job.height, 108);
    EXPECT_EQ(job.version, 536870912);
    EXPECT_EQ(job.bits, 0x207FFFFFu);
    EXPECT_EQ(BitcoinEncoding::hexString(job.target.bigEndianBytes), t.target);
    EXPECT_EQ(job.previousBlockHash, displayHash(t.previousBlockHash));
    EXPECT_EQ(job.minTime, t.minTime);
    EXPECT_EQ(job.curTime, t.curTime);
    EXPECT_EQ(job.longPollID, t.longPollID);
    EXPECT_EQ(job.coinbaseValue, 5'000'010'000);
    EXPECT_EQ(job.witnessCommitment, hex(*t.defaultWitnessCommitment));
    ASSERT_EQ(job.otherTransactions->size(), 1u);
    EXPECT_EQ(job.otherTransactions->front(), hex(t.transactions[0].data));
    EXPECT_EQ(job.branch, std::vector<Hash32>{displayHash(t.transactions[0].txid)});
}

TEST(MiningJobTest, CandidateCarriesExtranonceTimeAndMerkleRoot) {
    const BlockTemplate t = withOneTransaction();
    const MiningJob job(t, kPayToOpTrue);

    const BlockCandidate candidate = job.candidate(1, std::nullopt);
    const CoinbaseTransaction expectedCoinbase(108, hex("0100000000000000"),
                                               {{{0x51}, 5'000'010'000}}, job.witnessCommitment);
    EXPECT_EQ(expectedCoinbase.scriptSig, hex("016c080100000000000000"));
    EXPECT_EQ(candidate.coinbaseBytes, expectedCoinbase.serializedWithWitness());
    EXPECT_EQ(candidate.coinbaseTxid, expectedCoinbase.txid());
    const std::vector<Hash32> leaves{candidate.coinbaseTxid, displayHash(t.transactions[0].txid)};
    EXPECT_EQ(candidate.merkleRoot, MerkleTree::root(leaves));

    EXPECT_EQ(candidate.header.version, t.version);
    EXPECT_EQ(candidate.header.previousBlockHash, job.previousBlockHash);
    EXPECT_EQ(candidate.header.merkleRoot, candidate.merkleRoot);
    EXPECT_EQ(candidate.header.time, t.curTime);
    EXPECT_EQ(candidate.header.bits, 0x207FFFFFu);
    EXPECT_EQ(candidate.header.nonce, 0u);
    EXPECT_EQ(candidate.target, job.target);
    EXPECT_EQ(candidate.minerRewardSats, 5'000'010'000);
    EXPECT_EQ(candidate.transactionCount(), 2u);

    EXPECT_EQ(job.candidate(1, 1'800'000'000u).header.time, 1'800'000'000u);
    EXPECT_NE(job.candidate(2, std::nullopt).merkleRoot, candidate.merkleRoot);
}

TEST(MiningJobTest, SerializedBlockIsHeaderCountCoinbaseThenTransactions) {
    const BlockTemplate t = withOneTransaction();
    const BlockCandidate candidate = MiningJob(t, kPayToOpTrue).candidate(7, std::nullopt);
    const Bytes block = candidate.serialized(0xA1B2C3D4);

    Bytes expected;
    append(expected, candidate.header.withNonce(0xA1B2C3D4).serialized());
    expected.push_back(0x02);
    append(expected, candidate.coinbaseBytes);
    append(expected, hex(t.transactions[0].data));
    EXPECT_EQ(block, expected);
    EXPECT_EQ(Bytes(block.begin() + 76, block.begin() + 80), (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));
}

TEST(MiningJobTest, EmptyTemplateHasTheCoinbaseAsRoot) {
    const BlockTemplate t =
        BlockTemplate::fromJson(fixtureResult("getblocktemplate-fresh-chain.json"));
    const MiningJob job(t, kPayToOpTrue);
    EXPECT_TRUE(job.branch.empty());
    const BlockCandidate candidate = job.candidate(0, std::nullopt);
    EXPECT_EQ(candidate.merkleRoot, candidate.coinbaseTxid);
    EXPECT_EQ(candidate.transactionCount(), 1u);
    EXPECT_EQ(candidate.serialized(0).size(), 80 + 1 + candidate.coinbaseBytes.size());
}

TEST(MiningJobTest, WithoutCommitmentTheCoinbaseHasNoWitness) {
    BlockTemplate t = withOneTransaction();
    t.defaultWitnessCommitment.reset();
    const MiningJob job(t, kPayToOpTrue);
    EXPECT_EQ(job.witnessCommitment, std::nullopt);
    const BlockCandidate candidate = job.candidate(0, std::nullopt);
    const CoinbaseTransaction coinbase(108, Bytes(8, 0), {{{0x51}, 5'000'010'000}}, std::nullopt);
    EXPECT_EQ(candidate.coinbaseBytes, coinbase.serializedWithoutWitness());
}

TEST(MiningJobTest, RefusesEachMalformedFieldByName) {
    using Edit = std::function<void(BlockTemplate&)>;
    const std::string txid = withOneTransaction().transactions[0].txid;
    const std::vector<std::pair<std::string, Edit>> cases{
        {"previousblockhash", [](BlockTemplate& t) { t.previousBlockHash = "zz"; }},
        {"previousblockhash", [](BlockTemplate& t) { t.previousBlockHash.pop_back(); }},
        {"previousblockhash", [](BlockTemplate& t) { t.previousBlockHash.resize(62); }},
        {"bits", [](BlockTemplate& t) { t.bits = "207fffzz"; }},
        {"bits", [](BlockTemplate& t) { t.bits = "20800000"; }},      // sign bit set
        {"target", [](BlockTemplate& t) { t.target.back() = '1'; }},  // one unit off
        {"target", [](BlockTemplate& t) { t.target.resize(62); }},
        {"target", [](BlockTemplate& t) { t.target = "xyz"; }},
        {"target", [](BlockTemplate& t) { t.bits = "1d00ffff"; }},  // target of other bits
        {"transactions[].data", [](BlockTemplate& t) { t.transactions[0].data += "0"; }},
        {"transactions[].data", [](BlockTemplate& t) { t.transactions[0].data[4] = 'g'; }},
        {"transactions[].txid", [](BlockTemplate& t) { t.transactions[0].txid[0] = 'g'; }},
        {"transactions[].txid", [](BlockTemplate& t) { t.transactions[0].txid.resize(62); }},
        {"default_witness_commitment",
         [](BlockTemplate& t) { t.defaultWitnessCommitment = "6a24aa21a9edZZ"; }},
        {"default_witness_commitment", [](BlockTemplate& t) { t.defaultWitnessCommitment = "6"; }},
        {"height", [](BlockTemplate& t) { t.height = -1; }},
    };
    for (const auto& [field, edit] : cases) {
        BlockTemplate t = withOneTransaction();
        edit(t);
        EXPECT_EQ(refusedField(t), field);
    }
}

TEST(MiningJobTest, EmptyPayoutScriptIsRefusedFirst) {
    BlockTemplate t = withOneTransaction();
    t.previousBlockHash = "zz";
    try {
        MiningJob job(t, CoinbasePayoutPlan::everythingToMiner({}));
        FAIL() << "a job without payout script";
    } catch (const BlockAssemblyError& error) {
        EXPECT_EQ(error, BlockAssemblyError(BlockAssemblyError::EmptyPayoutScript{}));
        EXPECT_STREQ(error.what(), "BlockAssemblyError.emptyPayoutScript");
    }
}

TEST(MiningJobTest, ErrorTextNamesTheField) {
    const BlockAssemblyError error(BlockAssemblyError::MalformedTemplateField{"bits"});
    EXPECT_STREQ(error.what(), "BlockAssemblyError.malformedTemplateField(\"bits\")");
}

}  // namespace
}  // namespace corvanta
