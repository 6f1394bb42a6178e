#include "corvanta/assembly/MiningJob.h"

#include <functional>

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"
#include "corvanta/assembly/BlockAssemblyError.h"
#include "corvanta/assembly/CoinbaseTransaction.h"
#include "corvanta/assembly/Merkle.h"

namespace corvanta {
namespace {

using testing::displayHash;
using testing::hex;

void appendTo(Bytes& bytes, std::span<const std::uint8_t> tail) {
    bytes.insert(bytes.end(), tail.begin(), tail.end());
}

const CoinbasePayoutPlan kPayToOpTrue = CoinbasePayoutPlan::everythingToMiner({0x51});

BlockTemplate templateNamed(const std::string& fixture) {
    return BlockTemplate::fromJson(testing::fixtureResult(fixture));
}

TEST(MiningJobTest, CandidateIsTheTemplatesBlockWithOurCoinbase) {
    const BlockTemplate t = templateNamed("gbt-with-1-tx.json");
    const MiningJob job(t, kPayToOpTrue, TemplateRules::segwit);
    EXPECT_EQ(job.branch, std::vector<Hash32>{displayHash(t.transactions[0].txid)});

    const BlockCandidate candidate = job.candidate(1, std::nullopt);
    // Height 108, then the extranonce as an 8-byte push.
    const CoinbaseTransaction coinbase(108, hex("0100000000000000"), {{{0x51}, 5'000'010'000}},
                                       hex(*t.defaultWitnessCommitment));
    EXPECT_EQ(coinbase.scriptSig, hex("016c080100000000000000"));
    EXPECT_EQ(candidate.coinbaseBytes, coinbase.serializedWithWitness());
    EXPECT_EQ(candidate.coinbaseTxid, coinbase.txid());
    const std::vector<Hash32> leaves{coinbase.txid(), displayHash(t.transactions[0].txid)};
    EXPECT_EQ(candidate.merkleRoot, MerkleTree::root(leaves));
    EXPECT_EQ(candidate.header, (BlockHeader{.version = 536870912,
                                             .previousBlockHash = displayHash(t.previousBlockHash),
                                             .merkleRoot = candidate.merkleRoot,
                                             .time = t.curTime,
                                             .bits = 0x207FFFFF,
                                             .nonce = 0}));
    EXPECT_EQ(BitcoinEncoding::hexString(candidate.target.bigEndianBytes), t.target);

    EXPECT_EQ(job.candidate(1, 1'800'000'000u).header.time, 1'800'000'000u);
    EXPECT_NE(job.candidate(2, std::nullopt).merkleRoot, candidate.merkleRoot);

    // The block: header with the nonce, transaction count, coinbase (witness form), the others.
    Bytes block;
    appendTo(block, candidate.header.withNonce(0xA1B2C3D4).serialized());
    block.push_back(0x02);
    appendTo(block, candidate.coinbaseBytes);
    appendTo(block, hex(t.transactions[0].data));
    EXPECT_EQ(candidate.serialized(0xA1B2C3D4), block);
}

// The mark takes the upper half of the 8 extranonce bytes and the counter the lower, so every
// candidate of a marked plan carries the mark; the coinbase keeps its shape (height push, one
// 8-byte push).
TEST(MiningJobTest, AMarkedPlanWritesItsMarkAfterTheCounterInEveryCandidate) {
    const BlockTemplate t = templateNamed("gbt-with-1-tx.json");
    const MiningJob job(t, CoinbasePayoutPlan::everythingToMiner({0x51}, {0xde, 0xad, 0xbe, 0xef}),
                        TemplateRules::segwit);
    const auto scriptOf = [&](std::uint64_t extranonce) {
        return CoinbaseTransaction(108, job.payoutPlan.extranonceBytes(extranonce),
                                   {{{0x51}, 5'000'010'000}}, hex(*t.defaultWitnessCommitment))
            .scriptSig;
    };
    EXPECT_EQ(scriptOf(1), hex("016c0801000000deadbeef"));
    EXPECT_EQ(scriptOf(0x01020304), hex("016c0804030201deadbeef"));
    // Past 2^32 sweeps the counter wraps; the mark never changes.
    EXPECT_EQ(scriptOf(0x1'0000'0007), hex("016c0807000000deadbeef"));
    const auto candidate = job.candidate(1, std::nullopt);
    const CoinbaseTransaction coinbase(108, hex("01000000deadbeef"), {{{0x51}, 5'000'010'000}},
                                       hex(*t.defaultWitnessCommitment));
    EXPECT_EQ(candidate.coinbaseTxid, coinbase.txid());
    EXPECT_NE(candidate.coinbaseTxid,
              MiningJob(t, kPayToOpTrue, TemplateRules::segwit).candidate(1, {}).coinbaseTxid);
}

TEST(MiningJobTest, EmptyTemplateHasTheCoinbaseAsItsRoot) {
    const MiningJob job(templateNamed("getblocktemplate-fresh-chain.json"), kPayToOpTrue,
                        TemplateRules::segwit);
    EXPECT_TRUE(job.branch.empty());
    const BlockCandidate candidate = job.candidate(0, std::nullopt);
    EXPECT_EQ(candidate.merkleRoot, candidate.coinbaseTxid);
    EXPECT_EQ(candidate.serialized(0)[80], 0x01);  // one transaction

    BlockTemplate negative = templateNamed("getblocktemplate-fresh-chain.json");
    negative.coinbaseValue = -5;
    EXPECT_EQ(MiningJob(negative, kPayToOpTrue, TemplateRules::segwit)
                  .candidate(0, std::nullopt)
                  .minerRewardSats,
              0);
}

TEST(MiningJobTest, HeaderTimeIsNeverBelowMintime) {
    BlockTemplate t = templateNamed("gbt-with-1-tx.json");
    t.minTime = t.curTime + 600;  // a node whose clock lags its chain
    const MiningJob job(t, kPayToOpTrue, TemplateRules::segwit);
    EXPECT_EQ(job.curTime, t.minTime);
    for (const std::optional<std::uint32_t> time :
         {std::optional<std::uint32_t>{}, std::optional(t.curTime), std::optional(0u)}) {
        EXPECT_EQ(job.candidate(0, time).header.time, t.minTime);
    }
    EXPECT_EQ(job.candidate(0, t.minTime + 1).header.time, t.minTime + 1);
}

TEST(MiningJobTest, RefusesEachMalformedFieldByName) {
    using Field = BlockAssemblyError::MalformedTemplateField;
    using Edit = std::function<void(BlockTemplate&)>;
    constexpr auto signet = TemplateRules::segwitAndSignet;
    const struct {
        BlockAssemblyError::Kind expected;
        Edit edit;
        TemplateRules rules = TemplateRules::segwit;
    } cases[] = {
        {Field{"previousblockhash"}, [](auto& t) { t.previousBlockHash = "zz"; }},
        {Field{"bits"}, [](auto& t) { t.bits = "207fffzz"; }},
        {Field{"bits"}, [](auto& t) { t.bits = "20800000"; }},      // negative target
        {Field{"target"}, [](auto& t) { t.target.back() = '1'; }},  // one unit off
        {Field{"target"}, [](auto& t) { t.bits = "1d00ffff"; }},    // other bits
        {Field{"transactions[].data"}, [](auto& t) { t.transactions[0].data += "0"; }},
        {Field{"transactions[].data"}, [](auto& t) { t.transactions[0].data.clear(); }},
        {Field{"transactions[].txid"}, [](auto& t) { t.transactions[0].txid[0] = 'g'; }},
        // Mining on without the commitment would only find blocks the node refuses.
        {Field{"default_witness_commitment"}, [](auto& t) { t.defaultWitnessCommitment = "6a2"; }},
        {Field{"height"}, [](auto& t) { t.height = -1; }},
        {Field{"height"}, [](auto& t) { t.height = std::int64_t{1} << 31; }},
        {Field{"coinbasevalue"}, [](auto& t) { t.coinbaseValue = 2'100'000'000'000'001; }},
        // An empty payout script is reported before anything else.
        {BlockAssemblyError::EmptyPayoutScript{}, [](auto& t) { t.previousBlockHash = "zz"; }},
        // A signet block is refused without a commitment, where its solution would be, and
        // without a challenge met.
        {Field{"default_witness_commitment"},
         [](auto& t) {
             t.signetChallenge = "51";
             t.defaultWitnessCommitment.reset();
         },
         signet},
        {Field{"signet_challenge"}, [](auto&) {}, signet},
        {Field{"signet_challenge"}, [](auto& t) { t.signetChallenge = "5"; }, signet},
        {BlockAssemblyError::SignetNeedsSignature{"6a"}, [](auto& t) { t.signetChallenge = "6a"; },
         signet},
    };
    for (const auto& [expected, edit, rules] : cases) {
        BlockTemplate t = templateNamed("gbt-with-1-tx.json");
        edit(t);
        const bool noScript =
            std::holds_alternative<BlockAssemblyError::EmptyPayoutScript>(expected);
        try {
            MiningJob(t, noScript ? CoinbasePayoutPlan{} : kPayToOpTrue, rules);
            ADD_FAILURE() << "accepted, expected " << BlockAssemblyError(expected).what();
        } catch (const BlockAssemblyError& error) {
            EXPECT_EQ(error.kind(), expected) << error.what();
        }
    }
}

// The templates of two signets as the node gave them: one whose challenge is OP_TRUE, mined as
// any network (the same block, the template's commitment in its coinbase, proposed under the
// signet's rules), and the default one, whose blocks need its signers' signature. Elsewhere a
// challenge is not read.
TEST(MiningJobTest, OnlyASignetChallengeMetWithoutSignatureBecomesWork) {
    constexpr auto segwit = TemplateRules::segwit;
    constexpr auto signet = TemplateRules::segwitAndSignet;
    const BlockTemplate opTrue = templateNamed("gbt-signet-op-true.json");
    const MiningJob signetJob(opTrue, kPayToOpTrue, signet);
    EXPECT_EQ(signetJob.rules, signet);
    ASSERT_TRUE(signetJob.witnessCommitment);
    EXPECT_EQ(signetJob.witnessCommitment, opTrue.witnessCommitmentBytes());
    EXPECT_EQ(signetJob.candidate(7, std::nullopt).serialized(9),
              MiningJob(opTrue, kPayToOpTrue, segwit).candidate(7, std::nullopt).serialized(9));

    const BlockTemplate defaultSignet = templateNamed("gbt-signet-default.json");
    try {
        MiningJob(defaultSignet, kPayToOpTrue, signet);
        ADD_FAILURE() << "the default signet's template became work";
    } catch (const BlockAssemblyError& error) {
        EXPECT_EQ(error.kind(), BlockAssemblyError::Kind{BlockAssemblyError::SignetNeedsSignature{
                                    *defaultSignet.signetChallenge}});
    }
    EXPECT_EQ(MiningJob(defaultSignet, kPayToOpTrue, segwit).rules, segwit);
}

}  // namespace
}  // namespace corvanta
