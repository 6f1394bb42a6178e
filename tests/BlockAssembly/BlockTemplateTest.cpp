#include "corvanta/assembly/BlockTemplate.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace corvanta {
namespace {

using testing::fixtureResult;

// The path named by the decoding failure of `result`, or "" when it decodes.
std::string failingPath(const json::Value& result) {
    try {
        BlockTemplate::fromJson(result);
        return "";
    } catch (const json::DecodeError& error) {
        return error.path();
    }
}

TEST(BlockTemplateTest, DecodesAFreshChainTemplate) {
    const auto t = BlockTemplate::fromJson(fixtureResult("getblocktemplate-fresh-chain.json"));
    EXPECT_EQ(t.version, 536870912);
    EXPECT_EQ(t.previousBlockHash,
              "0f9188f13cb7b2c71f2a335e3a4fc328bf5beb436012afca590b1a11466e2206");
    EXPECT_TRUE(t.transactions.empty());
    EXPECT_EQ(t.coinbaseValue, 5'000'000'000);
    EXPECT_EQ(t.target, "7fffff0000000000000000000000000000000000000000000000000000000000");
    EXPECT_EQ(t.minTime, 1296688603u);
    EXPECT_EQ(t.curTime, 1796589875u);
    EXPECT_EQ(t.bits, "207fffff");
    EXPECT_EQ(t.bitsValue(), 0x207FFFFFu);
    EXPECT_EQ(t.height, 1);
    EXPECT_EQ(t.longPollID, "0f9188f13cb7b2c71f2a335e3a4fc328bf5beb436012afca590b1a11466e22061");
    EXPECT_EQ(t.sizeLimit, 4'000'000);
    EXPECT_EQ(t.weightLimit, 4'000'000);
    EXPECT_EQ(t.witnessCommitmentBytes(),
              testing::hex("6a24aa21a9ede2f61c3f71d1defd3fa999dfa36953755c690689799962b48bebd83697"
                           "4e8cf9"));
    // Hash byte order: the display text reversed.
    const Hash32 previous = testing::displayHash(t.previousBlockHash);
    EXPECT_EQ(t.previousBlockHashBytes(), Bytes(previous.begin(), previous.end()));
    EXPECT_EQ(t.previousBlockHashBytes()->front(), 0x06);
}

TEST(BlockTemplateTest, DecodesTransactionsAndTheirOptionalFigures) {
    const auto t = BlockTemplate::fromJson(fixtureResult("gbt-with-1-tx.json"));
    ASSERT_EQ(t.transactions.size(), 1u);
    const TemplateTransaction& tx = t.transactions[0];
    EXPECT_EQ(tx.txid, "440360391391ccd2502b79433a0f46d3f0f57d56d53f4b1802403f61ba4994b1");
    EXPECT_EQ(tx.hash, "7a333ea6b8f9fab55d37fbe8d31ace9d091add51602069da8f4f5d385e5a070f");
    EXPECT_EQ(tx.data.substr(0, 12), "020000000001");
    EXPECT_EQ(tx.fee, 10000);
    EXPECT_EQ(tx.weight, 381);
    EXPECT_EQ(t.height, 108);
    EXPECT_EQ(t.coinbaseValue, 5'000'010'000);
}

TEST(BlockTemplateTest, OptionalKeysMayBeAbsentOrNullButNotMistyped) {
    auto result = fixtureResult("getblocktemplate-fresh-chain.json");
    result.erase("default_witness_commitment");
    result["longpollid"] = nullptr;
    result.erase("sizelimit");
    result["transactions"] = json::Value::parse(R"([{"data":"00","txid":"11","hash":"22"}])");
    const auto t = BlockTemplate::fromJson(result);
    EXPECT_EQ(t.defaultWitnessCommitment, std::nullopt);
    EXPECT_EQ(t.witnessCommitmentBytes(), std::nullopt);
    EXPECT_EQ(t.longPollID, std::nullopt);
    EXPECT_EQ(t.sizeLimit, std::nullopt);
    EXPECT_EQ(t.transactions.at(0).fee, std::nullopt);

    for (const char* key :
         {"default_witness_commitment", "longpollid", "sizelimit", "weightlimit"}) {
        auto mistyped = fixtureResult("getblocktemplate-fresh-chain.json");
        mistyped[key] = json::Value::array();
        EXPECT_EQ(failingPath(mistyped), key);
    }
}

TEST(BlockTemplateTest, EveryRequiredKeyIsNamedWhenMissingOrMistyped) {
    const auto good = fixtureResult("getblocktemplate-fresh-chain.json");
    for (const char* key : {"version", "transactions", "target", "bits", "height",
                            "previousblockhash", "coinbasevalue", "mintime", "curtime"}) {
        auto missing = good;
        missing.erase(key);
        EXPECT_EQ(failingPath(missing), key) << "missing " << key;
        auto mistyped = good;
        mistyped[key] = json::Value::object();
        EXPECT_EQ(failingPath(mistyped), key) << "mistyped " << key;
    }

    auto stringValue = good;
    stringValue["coinbasevalue"] = "5000000000";
    EXPECT_EQ(failingPath(stringValue), "coinbasevalue");
    auto fractional = good;
    fractional["height"] = 1.5;
    EXPECT_EQ(failingPath(fractional), "height");
    auto wideVersion = good;
    wideVersion["version"] = std::int64_t{1} << 31;
    EXPECT_EQ(failingPath(wideVersion), "version");
    auto negativeTime = good;
    negativeTime["mintime"] = -1;
    EXPECT_EQ(failingPath(negativeTime), "mintime");
    auto lateTime = good;
    lateTime["curtime"] = std::int64_t{1} << 32;
    EXPECT_EQ(failingPath(lateTime), "curtime");
}

TEST(BlockTemplateTest, TransactionEntriesAreCheckedKeyByKey) {
    auto result = fixtureResult("gbt-with-1-tx.json");
    for (const char* key : {"data", "txid", "hash"}) {
        auto missing = result;
        missing["transactions"][0].erase(key);
        EXPECT_EQ(failingPath(missing), std::string("transactions[0].") + key);
    }
    auto feeText = result;
    feeText["transactions"][0]["fee"] = "10000";
    EXPECT_EQ(failingPath(feeText), "transactions[0].fee");
    auto notAnObject = result;
    notAnObject["transactions"] =
        json::Value::parse(R"([{"data":"00","txid":"11","hash":"22"}, 5])");
    EXPECT_EQ(failingPath(notAnObject), "transactions[1]");
}

TEST(BlockTemplateTest, BitsParseOnlyAsWholeThirtyTwoBitHex) {
    BlockTemplate t;
    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases{
        {"207fffff", 0x207FFFFF},     {"1D00FFFF", 0x1D00FFFF},    {"0", 0},
        {"", std::nullopt},           {"207fffzz", std::nullopt},  {"1ffffffff", std::nullopt},
        {"0x1d00ffff", std::nullopt}, {" 1d00ffff", std::nullopt}, {"-1", std::nullopt}};
    for (const auto& [bits, value] : cases) {
        t.bits = bits;
        EXPECT_EQ(t.bitsValue(), value) << '"' << bits << '"';
    }
}

TEST(BlockTemplateTest, PreviousHashAndCommitmentBytesAreEmptyWhenNotHex) {
    BlockTemplate t;
    t.previousBlockHash = "0011ff";
    EXPECT_EQ(t.previousBlockHashBytes(), (Bytes{0xFF, 0x11, 0x00}));
    t.previousBlockHash = "00g1";
    EXPECT_EQ(t.previousBlockHashBytes(), std::nullopt);
    t.defaultWitnessCommitment = "6a2";
    EXPECT_EQ(t.witnessCommitmentBytes(), std::nullopt);
}

TEST(BlockTemplateTest, RequestCarriesTheLongPollIdOnlyWhenGiven) {
    EXPECT_EQ(json::dump(BlockTemplate::requestParameter(std::nullopt).toJson()),
              R"({"rules":["segwit"]})");
    EXPECT_EQ(json::dump(BlockTemplate::requestParameter("abc1").toJson()),
              R"({"longpollid":"abc1","rules":["segwit"]})");
}

}  // namespace
}  // namespace corvanta
