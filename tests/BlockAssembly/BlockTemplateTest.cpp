#include "corvanta/assembly/BlockTemplate.h"

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"

namespace corvanta {
namespace {

using testing::fixtureResult;

// The key path named by the decoding failure of `result`, or "" when it decodes.
std::string failingPath(const json::Value& result) {
    try {
        BlockTemplate::fromJson(result);
        return "";
    } catch (const json::DecodeError& error) {
        return error.path();
    }
}

TEST(BlockTemplateTest, DecodesTheNodesTemplates) {
    const auto fresh = BlockTemplate::fromJson(fixtureResult("getblocktemplate-fresh-chain.json"));
    EXPECT_TRUE(fresh.transactions.empty());
    EXPECT_EQ(fresh.coinbaseValue, 5'000'000'000);
    EXPECT_EQ(fresh.curTime, 1796589875u);
    EXPECT_EQ(fresh.longPollID, fresh.previousBlockHash + "1");
    EXPECT_EQ(fresh.witnessCommitmentBytes(), testing::hex(*fresh.defaultWitnessCommitment));
    const Hash32 previous = testing::displayHash(fresh.previousBlockHash);
    EXPECT_EQ(fresh.previousBlockHashBytes(), Bytes(previous.begin(), previous.end()));

    const auto withTx = BlockTemplate::fromJson(fixtureResult("gbt-with-1-tx.json"));
    ASSERT_EQ(withTx.transactions.size(), 1u);
    EXPECT_EQ(withTx.transactions[0].txid,
              "440360391391ccd2502b79433a0f46d3f0f57d56d53f4b1802403f61ba4994b1");
    EXPECT_EQ(withTx.transactions[0].fee, 10000);
    EXPECT_EQ(withTx.transactions[0].weight, 381);
    EXPECT_EQ(withTx.signetChallenge, std::nullopt);

    // A signet's (here one whose challenge is OP_TRUE) states the challenge its blocks must meet.
    const auto signet = BlockTemplate::fromJson(fixtureResult("gbt-signet-op-true.json"));
    EXPECT_EQ(signet.signetChallenge, "51");
    EXPECT_EQ(signet.bits, "1e0377ae");
}

TEST(BlockTemplateTest, NamesTheKeyOfAnUndecodableTemplate) {
    const auto good = fixtureResult("gbt-with-1-tx.json");
    for (const char* key : {"version", "transactions", "target", "previousblockhash", "curtime"}) {
        auto missing = good;
        missing.erase(key);
        EXPECT_EQ(failingPath(missing), key);
    }
    // An optional key may be absent or null, never of another type.
    auto optionalsGone = good;
    optionalsGone.erase("default_witness_commitment");
    optionalsGone["longpollid"] = nullptr;
    EXPECT_EQ(failingPath(optionalsGone), "");
    const std::vector<std::tuple<std::string, json::Value, std::string>> mistyped{
        {"/coinbasevalue", "5000000000", "coinbasevalue"},
        {"/version", std::int64_t{1} << 31, "version"},
        {"/curtime", std::int64_t{1} << 32, "curtime"},
        {"/transactions", json::Value::object(), "transactions"},
        {"/transactions/0/txid", nullptr, "transactions[0].txid"},
        {"/transactions/0/fee", "10000", "transactions[0].fee"},
        {"/longpollid", json::Value::array(), "longpollid"},
        {"/default_witness_commitment", 6, "default_witness_commitment"},
        {"/signet_challenge", 51, "signet_challenge"},
    };
    for (const auto& [pointer, value, path] : mistyped) {
        auto broken = good;
        broken[json::Value::json_pointer(pointer)] = value;
        EXPECT_EQ(failingPath(broken), path) << pointer;
    }
}

TEST(BlockTemplateTest, BitsParseOnlyAsWholeThirtyTwoBitHex) {
    BlockTemplate t;
    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases{
        {"1D00FFFF", 0x1D00FFFF},    {"", std::nullopt},           {"207fffzz", std::nullopt},
        {"1ffffffff", std::nullopt}, {"0x1d00ffff", std::nullopt}, {"-1", std::nullopt}};
    for (const auto& [bits, value] : cases) {
        t.bits = bits;
        EXPECT_EQ(t.bitsValue(), value) << '"' << bits << '"';
    }
}

// The signet rule only on signet, where the node refuses every template without it.
TEST(BlockTemplateTest, RequestCarriesItsRulesAndTheLongPollIdOnlyWhenGiven) {
    constexpr auto segwit = TemplateRules::segwit;
    constexpr auto signet = TemplateRules::segwitAndSignet;
    const struct {
        TemplateRules rules;
        std::optional<std::string> longPollID;
        const char* body;
    } cases[] = {
        {segwit, std::nullopt, R"({"rules":["segwit"]})"},
        {segwit, "abc1", R"({"longpollid":"abc1","rules":["segwit"]})"},
        {signet, std::nullopt, R"({"rules":["segwit","signet"]})"},
        {signet, "abc1", R"({"longpollid":"abc1","rules":["segwit","signet"]})"},
    };
    for (const auto& [rules, longPollID, body] : cases) {
        EXPECT_EQ(json::dump(BlockTemplate::requestParameter(rules, longPollID).toJson()), body);
    }
}

}  // namespace
}  // namespace corvanta
