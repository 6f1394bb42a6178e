#include <gtest/gtest.h>

#include <limits>

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

TEST(EarningsScan, NoAmountNorTotalAViewCouldMisread) {
    // A negative output would make every total a lie, down to a snapshot the widgets refuse.
    EXPECT_THROW(
        snapshotOf(
            R"({"success": true, "height": 500, "unspents": [{"amount": -1e10, "height": 1}]})"),
        json::DecodeError);
    // Nine mature and nine immature outputs of 1e10 bitcoin: each half fits an int64 of
    // satoshis, their sum, which the widgets and the tray show, does not.
    std::string split = R"({"success": true, "height": 500, "unspents": [)";
    for (int i = 0; i < 18; ++i) {
        split += std::string(i > 0 ? "," : "") + R"({"amount": 1e10, "height": )" +
                 (i < 9 ? "1" : "450") + "}";
    }
    EXPECT_THROW(snapshotOf((split + "]}").c_str()), json::DecodeError);
    const auto max = std::numeric_limits<std::int64_t>::max();
    const auto min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(earningsTotalSats(max, 1), max);
    EXPECT_EQ(earningsTotalSats(min, -1), min);
    EXPECT_EQ(earningsTotalSats(3, 4), 7);
}

}  // namespace
}  // namespace corvanta
