#include <gtest/gtest.h>

#include "corvanta/node/ChainStatus.h"

namespace corvanta {
namespace {

// The result of a fresh regtest bitcoind 31.1.
constexpr std::string_view kFreshRegtest = R"({"chain":"regtest","blocks":0,"headers":0,
 "bestblockhash":"0f9188f13cb7b2c71f2a335e3a4fc328bf5beb436012afca590b1a11466e2206",
 "bits":"207fffff","difficulty":4.656542373906925e-10,"time":1296688602,
 "verificationprogress":2.000390984419469e-06,"initialblockdownload":true,
 "size_on_disk":293,"pruned":false,"warnings":[]})";

json::Value fresh() {
    return json::parse(kFreshRegtest);
}

TEST(ChainStatusTest, EveryFieldIsRequiredAndTyped) {
    for (const char* key : {"chain", "blocks", "headers", "verificationprogress",
                            "initialblockdownload", "size_on_disk", "pruned", "bestblockhash"}) {
        auto missing = fresh();
        missing.erase(key);
        EXPECT_THROW(ChainStatus::fromJson(missing), json::DecodeError) << key;
        auto null = fresh();
        null[key] = nullptr;
        EXPECT_THROW(ChainStatus::fromJson(null), json::DecodeError) << key;
    }
    auto wrongType = fresh();
    wrongType["blocks"] = "0";
    EXPECT_THROW(ChainStatus::fromJson(wrongType), json::DecodeError);
    auto fractional = fresh();
    fractional["headers"] = 1.5;
    EXPECT_THROW(ChainStatus::fromJson(fractional), json::DecodeError);
    // A finished sync prints its progress as the integer 1.
    auto complete = fresh();
    complete["verificationprogress"] = 1;
    EXPECT_DOUBLE_EQ(ChainStatus::fromJson(complete).progressPercent(), 100.0);
    EXPECT_EQ(ChainStatus::fromJson(fresh()).sizeOnDiskBytes, 293);
}

TEST(ChainStatusTest, ReadyOnlyOutOfInitialDownloadWithEveryHeaderInABlock) {
    ChainStatus status = ChainStatus::fromJson(fresh());
    EXPECT_FALSE(status.isReadyToMine());
    status.initialBlockDownload = false;
    status.blocks = 10;
    status.headers = 11;
    EXPECT_FALSE(status.isReadyToMine());
    status.blocks = 11;
    EXPECT_TRUE(status.isReadyToMine());
}

}  // namespace
}  // namespace corvanta
