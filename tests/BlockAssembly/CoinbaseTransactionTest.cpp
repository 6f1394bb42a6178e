#include "corvanta/assembly/CoinbaseTransaction.h"

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"

namespace corvanta {
namespace {

using testing::hex;

const Bytes kOpTrue{0x51};
const std::string kCommitmentHex =
    "6a24aa21a9ede2f61c3f71d1defd3fa999dfa36953755c690689799962b48bebd836974e8cf9";

TEST(CoinbaseTransactionTest, HeightPushesFollowBip34) {
    const std::vector<std::pair<std::int64_t, std::string>> cases{
        {0, "00"},         {1, "51"},           {16, "60"},           {17, "0111"},
        {127, "017f"},     {128, "028000"},     {255, "02ff00"},      {256, "020001"},
        {32767, "02ff7f"}, {32768, "03008000"}, {840000, "0340d10c"}, {8388608, "0400008000"}};
    for (const auto& [height, push] : cases) {
        EXPECT_EQ(BitcoinEncoding::hexString(ScriptEncoding::pushBlockHeight(height)), push)
            << height;
    }
    EXPECT_THROW(ScriptEncoding::pushBlockHeight(-1), std::invalid_argument);
}

TEST(CoinbaseTransactionTest, ScriptSigIsHeightThenExtranonceAtLeastTwoBytes) {
    EXPECT_EQ(CoinbaseTransaction::makeScriptSig(0, {}), hex("0000"));
    EXPECT_EQ(CoinbaseTransaction::makeScriptSig(17, {}), hex("0111"));
    EXPECT_EQ(CoinbaseTransaction::makeScriptSig(1, hex("0102030405060708")),
              hex("51080102030405060708"));
    EXPECT_EQ(CoinbaseTransaction::makeScriptSig(300, Bytes(75, 0xAA)).size(), 3u + 1u + 75u);
    EXPECT_THROW(CoinbaseTransaction::makeScriptSig(300, Bytes(76, 0xAA)), std::invalid_argument);
}

TEST(CoinbaseTransactionTest, PayoutPlanNeverPaysANegativeValue) {
    const auto plan = CoinbasePayoutPlan::everythingToMiner(kOpTrue);
    EXPECT_EQ(plan.outputs(-5), (std::vector<CoinbaseOutput>{{kOpTrue, 0}}));
    EXPECT_EQ(plan.minerSats(-5), 0);
}

TEST(CoinbaseTransactionTest, WitnessFormAddsMarkerFlagAndReservedValueOnly) {
    const CoinbaseTransaction coinbase(1, hex("0100000000000000"), {{kOpTrue, 5'000'000'000}},
                                       hex(kCommitmentHex));
    const std::string body = "01" + std::string(64, '0') + "ffffffff" + "0a" + "5108" +
                             "0100000000000000" + "ffffffff" + "02" + "00f2052a01000000" + "0151" +
                             "0000000000000000" + "26" + kCommitmentHex;
    const std::string withoutWitness = "02000000" + body + "00000000";
    const std::string withWitness =
        "02000000" + std::string("0001") + body + "0120" + std::string(64, '0') + "00000000";

    EXPECT_EQ(BitcoinEncoding::hexString(coinbase.serializedWithoutWitness()), withoutWitness);
    EXPECT_EQ(BitcoinEncoding::hexString(coinbase.serializedWithWitness()), withWitness);
    EXPECT_EQ(coinbase.serializedWithWitness().size(),
              coinbase.serializedWithoutWitness().size() + 36);
    // The txid never covers the witness.
    EXPECT_EQ(coinbase.txid(), doubleSHA256(hex(withoutWitness)));
    EXPECT_NE(coinbase.txid(), doubleSHA256(hex(withWitness)));
}

TEST(CoinbaseTransactionTest, WithoutCommitmentBothFormsAreTheLegacyTransaction) {
    const CoinbaseTransaction coinbase(17, {}, {{kOpTrue, 50}}, std::nullopt);
    const std::string legacy = "02000000" + std::string("01") + std::string(64, '0') + "ffffffff" +
                               "020111" + "ffffffff" + "01" + "3200000000000000" + "0151" +
                               "00000000";
    EXPECT_EQ(BitcoinEncoding::hexString(coinbase.serializedWithWitness()), legacy);
    EXPECT_EQ(coinbase.serializedWithWitness(), coinbase.serializedWithoutWitness());
    EXPECT_THROW(CoinbaseTransaction(1, {}, {}, std::nullopt), std::invalid_argument);
}

}  // namespace
}  // namespace corvanta
