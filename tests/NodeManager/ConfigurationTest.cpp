#include <gtest/gtest.h>

#include "corvanta/node/BitcoinNetwork.h"
#include "corvanta/node/NodeConfiguration.h"
#include "corvanta/node/StorageTarget.h"

namespace corvanta {
namespace {

using Args = std::vector<std::string>;

NodeConfiguration sessionConfiguration(BitcoinNetwork network, StorageTarget budget) {
    return NodeConfiguration(network, "/data/node", pruneMiB(budget), std::nullopt, std::nullopt,
                             false, true);
}

TEST(BitcoinNetworkTest, RawValuesRoundTripAndAreCaseSensitive) {
    for (const auto network : kAllBitcoinNetworks) {
        EXPECT_EQ(bitcoinNetwork(rawValue(network)), network);
    }
    EXPECT_EQ(bitcoinNetwork("testnet"), std::nullopt);
    EXPECT_EQ(bitcoinNetwork("Mainnet"), std::nullopt);
    EXPECT_EQ(bitcoinNetwork(""), std::nullopt);
}

TEST(NodeConfigurationTest, ArgumentsPerNetworkAndBudget) {
    const Args common{"-datadir=/data/node", "-disablewallet=1", "-server=1", "-rpcbind=127.0.0.1",
                      "-rpcallowip=127.0.0.1"};
    const struct {
        BitcoinNetwork network;
        StorageTarget budget;
        Args tail;
    } rows[] = {
        {BitcoinNetwork::mainnet,
         StorageTarget::gib30,
         {"-rpcport=8332", "-port=8333", "-prune=18432"}},
        {BitcoinNetwork::testnet4,
         StorageTarget::gib15,
         {"-rpcport=48332", "-port=48333", "-testnet4=1", "-prune=3072"}},
        {BitcoinNetwork::signet,
         StorageTarget::gib20,
         {"-rpcport=38332", "-port=38333", "-signet=1", "-prune=8192"}},
        // Regtest keeps its whole chain whatever the budget.
        {BitcoinNetwork::regtest,
         StorageTarget::gib30,
         {"-rpcport=18443", "-port=18444", "-regtest=1"}},
    };
    for (const auto& row : rows) {
        Args expected = common;
        expected.insert(expected.end(), row.tail.begin(), row.tail.end());
        EXPECT_EQ(sessionConfiguration(row.network, row.budget).arguments(), expected)
            << rawValue(row.network);
    }
    EXPECT_EQ(storageTarget(20), StorageTarget::gib20);
    EXPECT_EQ(storageTarget(25), std::nullopt);
}

TEST(NodeConfigurationTest, SwitchesAndExplicitPorts) {
    const NodeConfiguration offline(BitcoinNetwork::signet, "/my data/node dir", 8192, 40000,
                                    std::nullopt, true, false);
    const Args args = offline.arguments();
    ASSERT_EQ(args.size(), 11u);
    EXPECT_EQ(args[0], "-datadir=/my data/node dir");  // one argument, unquoted
    EXPECT_EQ(args[1], "-disablewallet=0");
    EXPECT_EQ(args[5], "-rpcport=40000");
    EXPECT_EQ(args[6], "-port=38333");  // only the given port replaces its default
    EXPECT_EQ((Args(args.end() - 4, args.end())),
              (Args{"-signet=1", "-connect=0", "-listen=0", "-prune=8192"}));
}

TEST(NodeConfigurationTest, CookieAndEndpoint) {
    for (const auto& [network, cookie] :
         {std::pair{BitcoinNetwork::mainnet, "/data/node/.cookie"},
          {BitcoinNetwork::testnet4, "/data/node/testnet4/.cookie"},
          {BitcoinNetwork::signet, "/data/node/signet/.cookie"},
          {BitcoinNetwork::regtest, "/data/node/regtest/.cookie"}}) {
        EXPECT_EQ(sessionConfiguration(network, kDefaultStorageTarget).cookieURL(), cookie);
    }
    EXPECT_EQ(sessionConfiguration(BitcoinNetwork::testnet4, kDefaultStorageTarget).rpcEndpoint(),
              "http://127.0.0.1:48332/");
    const NodeConfiguration custom(BitcoinNetwork::regtest, "/d", 0, 23456, 23457, false, true);
    EXPECT_EQ(custom.rpcEndpoint(), "http://127.0.0.1:23456/");
}

}  // namespace
}  // namespace corvanta
