#include <gtest/gtest.h>

#include "NodeHarness.h"
#include "SystemServices/EarningsScan.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

class EarningsScanNode : public testing::NodeHarness {};

constexpr const char* kAddress = "bcrt1qft5p2uhsdcdc3l2ua4ap5qqfg4pjaqlp250x7us7a8qqhrxrxfsqseac85";

void mine(const RPCClient& client, int blocks, const std::string& address) {
    client.call("generatetoaddress", {RPCParam::integer(blocks), RPCParam::string(address)}, 60,
                {});
}

// Coinbases paying the address: the one 99 blocks deep is still immature, 100 deep is mature.
TEST_F(EarningsScanNode, SplitsTheAddressOutputsAtMaturity) {
    const auto client = startNode();
    mine(*client, 1, kAddress);  // height 1
    mine(*client, 1, kAddress);  // height 2
    // The blocks in between pay someone else.
    mine(*client, 99, "bcrt1qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqdku202");

    // Tip 101: the output at height 2 is 99 deep, the one at height 1 is 100 deep.
    const EarningsSnapshot snapshot = scanEarnings(*client, kAddress, {});
    EXPECT_EQ(snapshot.address, kAddress);
    EXPECT_EQ(snapshot.scannedAtHeight, 101);
    EXPECT_EQ(snapshot.matureOutputCount, 1);
    EXPECT_EQ(snapshot.immatureOutputCount, 1);
    EXPECT_EQ(snapshot.matureSats, 5'000'000'000);
    EXPECT_EQ(snapshot.immatureSats, 5'000'000'000);
}

}  // namespace
}  // namespace corvanta
