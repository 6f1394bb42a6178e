#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "corvanta/address/PayoutAddress.h"

namespace corvanta {
namespace {

using Error = PayoutAddressError;
using enum BitcoinNetworkPrefix;

// From the valid segwit addresses of BIP-350 of versions 0 and 1.
TEST(PayoutAddress, PublishedAddressesGiveTheirOutputScripts) {
    const struct {
        const char* text;
        BitcoinNetworkPrefix network;
        int version;
        const char* script;
    } cases[] = {
        {"BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4", mainnet, 0,
         "0014751e76e8199196d454941c45d1b3a323f1433bd6"},
        {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", mainnet, 0,
         "0014751e76e8199196d454941c45d1b3a323f1433bd6"},
        {"tb1qqqqqp399et2xygdj5xreqhjjvcmzhxw4aywxecjdzew6hylgvsesrxh6hy", signet, 0,
         "0020000000c4a5cad46221b2a187905e5266362b99d5e91c6ce24d165dab93e86433"},
        {"tb1pqqqqp399et2xygdj5xreqhjjvcmzhxw4aywxecjdzew6hylgvsesf3hn0c", testnet, 1,
         "5120000000c4a5cad46221b2a187905e5266362b99d5e91c6ce24d165dab93e86433"},
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqzk5jj0", mainnet, 1,
         "512079be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const PayoutAddress address(c.text, c.network);
        EXPECT_EQ(testing::hexOf(address.scriptPubKey()), c.script);
        EXPECT_EQ(address.witnessVersion(), c.version);
        EXPECT_EQ(address.displayString(), c.text);  // the case as typed
    }
}

TEST(PayoutAddress, RefusalsNameTheReason) {
    const char* testnet1 = "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7";
    const struct {
        const char* text;
        BitcoinNetworkPrefix network;
        Error::Kind kind;
    } cases[] = {
        {testnet1, mainnet, Error::WrongNetwork{"bc", "tb"}},
        {testnet1, regtest, Error::WrongNetwork{"bcrt", "tb"}},
        {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", signet, Error::WrongNetwork{"tb", "bc"}},
        // Version 1 under Bech32, version 0 under Bech32m.
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqh2y7hd", mainnet,
         Error::WrongVariantForVersion{}},
        {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kemeawh", mainnet, Error::WrongVariantForVersion{}},
        {"bc1zw508d6qejxtdg4y5r3zarvaryvaxxpcs", mainnet, Error::UnsupportedWitnessVersion{2}},
        {"BC1SW50QGDZ25J", mainnet, Error::UnsupportedWitnessVersion{16}},
        {"BC13W508D6QEJXTDG4Y5R3ZARVARY0C5XW7KN40WF2", mainnet,
         Error::UnsupportedWitnessVersion{17}},
        {"BC1QR508D6QEJXTDG4Y5R3ZARVARYV98GJ9P", mainnet, Error::InvalidProgramLength{16}},
        {"bc1pw508d6qejxtdg4y5r3zarvary0c5xw7kw508d6qejxtdg4y5r3zarvary0c5xw7kt5nd6y", mainnet,
         Error::InvalidProgramLength{40}},
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7v07qwwzcrf", mainnet,
         Error::InvalidProgramLength{33}},
        {"1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2", mainnet, Error::NotSegwit{}},          // Base58
        {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t5", mainnet, Error::NotSegwit{}},  // checksum
        {"tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sL5k7", testnet,
         Error::NotSegwit{}},                        // mixed case
        {"bc1gmk9yu", mainnet, Error::NotSegwit{}},  // no witness data at all
        {"", regtest, Error::NotSegwit{}},
        // Left-over bits after regrouping must be zero padding of at most four bits.
        {"tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3pjxtptv", testnet,
         Error::NotSegwit{}},
        {"tb1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vpggkg4j", testnet,
         Error::NotSegwit{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            PayoutAddress(c.text, c.network);
            ADD_FAILURE() << "accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), c.kind);
        }
    }
    EXPECT_EQ(Error(Error::WrongNetwork{"bc", "tb"}).description(),
              "wrongNetwork(expected: \"bc\", found: \"tb\")");
}

}  // namespace
}  // namespace corvanta
