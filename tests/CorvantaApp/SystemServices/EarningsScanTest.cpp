#include <gtest/gtest.h>

#include "SystemServices/EarningsScan.h"

namespace corvanta {
namespace {

EarningsSnapshot snapshotOf(const char* reply) {
    return earningsSnapshot(json::Value::parse(reply), "bcrt1qaddress");
}

TEST(EarningsScan, SplitsOutputsByAgeAndRoundsToWholeSatoshis) {
    EXPECT_EQ(snapshotOf(R"({"success": true, "height": 250, "unspents": [],
                             "total_amount": 0, "txouts": 7})"),
              (EarningsSnapshot{"bcrt1qaddress", 250, 0, 0, 0, 0}));
    EXPECT_EQ(snapshotOf(R"({"success": true, "height": 300, "unspents": [
                 {"amount": 0.1, "height": 201, "txid": "ab"},
                 {"amount": 50, "height": 200},
                 {"amount": 0.00000001, "height": 300},
                 {"amount": 12.34567891, "height": 0}]})"),
              (EarningsSnapshot{"bcrt1qaddress", 300, 5'000'000'000 + 1'234'567'891, 10'000'000 + 1,
                                2, 2}));
}

TEST(EarningsScan, AFailedScanOrAMalformedReplyIsAnError) {
    EXPECT_THROW(snapshotOf(R"({"success": false, "height": 1, "unspents": []})"),
                 EarningsScanError);
    const char* malformed[] = {
        R"({"height": 1, "unspents": []})",
        R"({"success": true, "unspents": []})",
        R"({"success": true, "height": 1})",
        R"({"success": true, "height": 1, "unspents": {}})",
        R"({"success": true, "height": 1, "unspents": [{"height": 1}]})",
        R"({"success": true, "height": 1, "unspents": [{"amount": 1}]})",
        R"({"success": true, "height": 1, "unspents": [{"amount": "1", "height": 1}]})",
        R"({"success": true, "height": 1, "unspents": [{"amount": 1e300, "height": 1}]})",
        R"({"success": true, "height": 1, "unspents": [{"amount": 1, "height": -5}]})",
        R"({"success": true, "height": -1, "unspents": []})",
        R"({"success": "yes", "height": 1, "unspents": []})",
    };
    for (const char* reply : malformed) {
        EXPECT_THROW(snapshotOf(reply), json::DecodeError) << reply;
    }
    // Eleven outputs of 9e9 bitcoin add up past an int64 of satoshis.
    std::string huge = R"({"success": true, "height": 9, "unspents": [)";
    for (int i = 0; i < 11; ++i)
        huge += std::string(i > 0 ? "," : "") + R"({"amount": 9e9, "height": 1})";
    EXPECT_THROW(snapshotOf((huge + "]}").c_str()), json::DecodeError);
}

}  // namespace
}  // namespace corvanta
