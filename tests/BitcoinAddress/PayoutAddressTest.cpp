#include <gtest/gtest.h>

#include <string>

#include "corvanta/address/PayoutAddress.h"

namespace corvanta {
namespace {

using Error = PayoutAddressError;

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const auto byte : bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

Error::Kind refusal(std::string_view text, BitcoinNetworkPrefix network) {
    try {
        PayoutAddress(text, network);
    } catch (const Error& error) {
        return error.kind();
    }
    ADD_FAILURE() << "accepted: " << text;
    return Error::NotSegwit{};
}

TEST(BitcoinNetworkPrefix, RawValuesInOrder) {
    std::string joined;
    for (const auto prefix : kAllBitcoinNetworkPrefixes)
        joined += std::string(rawValue(prefix)) + " ";
    EXPECT_EQ(joined, "bc tb tb bcrt ");
}

// The valid segwit addresses of BIP-350 of versions 0 and 1 with a 20- or 32-byte program.
TEST(PayoutAddress, PublishedAddressesGiveTheirOutputScripts) {
    struct Case {
        const char* text;
        BitcoinNetworkPrefix network;
        int version;
        const char* script;
    };
    const Case cases[] = {
        {"BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4", BitcoinNetworkPrefix::mainnet, 0,
         "0014751e76e8199196d454941c45d1b3a323f1433bd6"},
        {"tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7",
         BitcoinNetworkPrefix::testnet, 0,
         "00201863143c14c5166804bd19203356da136c985678cd4d27a1b8c6329604903262"},
        {"tb1qqqqqp399et2xygdj5xreqhjjvcmzhxw4aywxecjdzew6hylgvsesrxh6hy",
         BitcoinNetworkPrefix::signet, 0,
         "0020000000c4a5cad46221b2a187905e5266362b99d5e91c6ce24d165dab93e86433"},
        {"tb1pqqqqp399et2xygdj5xreqhjjvcmzhxw4aywxecjdzew6hylgvsesf3hn0c",
         BitcoinNetworkPrefix::testnet, 1,
         "5120000000c4a5cad46221b2a187905e5266362b99d5e91c6ce24d165dab93e86433"},
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqzk5jj0",
         BitcoinNetworkPrefix::mainnet, 1,
         "512079be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const PayoutAddress address(c.text, c.network);
        EXPECT_EQ(hex(address.scriptPubKey()), c.script);
        EXPECT_EQ(address.witnessVersion(), c.version);
        EXPECT_EQ(address.displayString(), c.text);
    }
}

TEST(PayoutAddress, UpperCaseIsAcceptedAndKeptForDisplay) {
    const PayoutAddress upper("BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4",
                              BitcoinNetworkPrefix::mainnet);
    const PayoutAddress lower("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4",
                              BitcoinNetworkPrefix::mainnet);
    EXPECT_EQ(upper.scriptPubKey(), lower.scriptPubKey());
    EXPECT_EQ(upper.displayString(), "BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4");
    EXPECT_NE(upper, lower);
}

TEST(PayoutAddress, EachNetworkTakesOnlyItsPrefix) {
    const char* testnet = "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7";
    EXPECT_EQ(refusal(testnet, BitcoinNetworkPrefix::mainnet),
              Error::Kind(Error::WrongNetwork{"bc", "tb"}));
    EXPECT_EQ(refusal(testnet, BitcoinNetworkPrefix::regtest),
              Error::Kind(Error::WrongNetwork{"bcrt", "tb"}));
    // testnet4 and signet share "tb".
    EXPECT_EQ(PayoutAddress(testnet, BitcoinNetworkPrefix::testnet).scriptPubKey(),
              PayoutAddress(testnet, BitcoinNetworkPrefix::signet).scriptPubKey());
    EXPECT_EQ(refusal("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", BitcoinNetworkPrefix::signet),
              Error::Kind(Error::WrongNetwork{"tb", "bc"}));
    EXPECT_EQ(refusal("tc1qw508d6qejxtdg4y5r3zarvary0c5xw7kg3g4ty", BitcoinNetworkPrefix::mainnet),
              Error::Kind(Error::WrongNetwork{"bc", "tc"}));
}

TEST(PayoutAddress, ChecksumVariantMustMatchTheVersion) {
    for (const auto& [text, network] : {
             std::pair{"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqh2y7hd",
                       BitcoinNetworkPrefix::mainnet},  // version 1, Bech32
             std::pair{"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kemeawh",
                       BitcoinNetworkPrefix::mainnet},  // version 0, Bech32m
             std::pair{"tb1q0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vq24jc47",
                       BitcoinNetworkPrefix::testnet},
         }) {
        SCOPED_TRACE(text);
        EXPECT_EQ(refusal(text, network), Error::Kind(Error::WrongVariantForVersion{}));
    }
}

TEST(PayoutAddress, OnlyVersionsZeroAndOne) {
    const std::pair<const char*, int> cases[] = {
        {"bc1zw508d6qejxtdg4y5r3zarvaryvaxxpcs", 2},
        {"bc1zw508d6qejxtdg4y5r3zarvaryvqyzf3du", 2},
        {"bc1rw5uspcuh", 3},
        {"BC1SW50QGDZ25J", 16},
        {"BC1S0XLXVLHEMJA6C4DQV22UAPCTQUPFHLXM9H8Z3K2E72Q4K9HCZ7VQ54WELL", 16},
        {"BC13W508D6QEJXTDG4Y5R3ZARVARY0C5XW7KN40WF2", 17},
        {"BC130XLXVLHEMJA6C4DQV22UAPCTQUPFHLXM9H8Z3K2E72Q4K9HCZ7VQ7ZWS8R", 17},
        {"bc10w508d6qejxtdg4y5r3zarvary0c5xw7kw508d6qejxtdg4y5r3zarvary0c5xw7kw5rljs90", 15},
    };
    for (const auto& [text, version] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(refusal(text, BitcoinNetworkPrefix::mainnet),
                  Error::Kind(Error::UnsupportedWitnessVersion{version}));
    }
    EXPECT_EQ(refusal("tb1z0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqglt7rf",
                      BitcoinNetworkPrefix::testnet),
              Error::Kind(Error::UnsupportedWitnessVersion{2}));
}

TEST(PayoutAddress, ProgramLengthsAreTwentyOrThirtyTwoForVersionZeroAndThirtyTwoForOne) {
    const std::pair<const char*, int> cases[] = {
        {"BC1QR508D6QEJXTDG4Y5R3ZARVARYV98GJ9P", 16},
        {"bc1pw5dgrnzv", 1},
        {"bc1pw508d6qejxtdg4y5r3zarvary0c5xw7kw508d6qejxtdg4y5r3zarvary0c5xw7kt5nd6y", 40},
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7v8n0nx0muaewav253zgeav", 41},
        {"bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7v07qwwzcrf", 33},
    };
    for (const auto& [text, length] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(refusal(text, BitcoinNetworkPrefix::mainnet),
                  Error::Kind(Error::InvalidProgramLength{length}));
    }
}

TEST(PayoutAddress, AnythingElseIsNotSegwit) {
    const std::pair<const char*, BitcoinNetworkPrefix> cases[] = {
        {"1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2", BitcoinNetworkPrefix::mainnet},  // Base58
        {"3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLy", BitcoinNetworkPrefix::mainnet},
        {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t5", BitcoinNetworkPrefix::mainnet},  // checksum
        {"bc1p38j9r5y49hruaue7wxjce0updqjuyyx0kh56v8s25huc6995vvpql3jow4",
         BitcoinNetworkPrefix::mainnet},
        {"tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sL5k7",
         BitcoinNetworkPrefix::testnet},  // mixed case
        {"tb1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vq47Zagq",
         BitcoinNetworkPrefix::testnet},
        {"bc1gmk9yu", BitcoinNetworkPrefix::mainnet},  // no witness data at all
        {"", BitcoinNetworkPrefix::regtest},
        {" bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", BitcoinNetworkPrefix::mainnet},
    };
    for (const auto& [text, network] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(refusal(text, network), Error::Kind(Error::NotSegwit{}));
    }
}

// Bits left over after regrouping must be padding: at most four, all zero. A checksum-valid
// text with other left-over bits does not encode the program it would be read as.
TEST(PayoutAddress, NonZeroPaddingIsRefused) {
    EXPECT_EQ(refusal("tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3pjxtptv",
                      BitcoinNetworkPrefix::testnet),
              Error::Kind(Error::NotSegwit{}));
    EXPECT_EQ(refusal("tb1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vpggkg4j",
                      BitcoinNetworkPrefix::testnet),
              Error::Kind(Error::NotSegwit{}));
}

TEST(PayoutAddressError, TextsNameTheCaseAndItsValues) {
    EXPECT_EQ(Error(Error::WrongNetwork{"bc", "tb"}).description(),
              "wrongNetwork(expected: \"bc\", found: \"tb\")");
    EXPECT_EQ(Error(Error::UnsupportedWitnessVersion{2}).description(),
              "unsupportedWitnessVersion(2)");
    EXPECT_EQ(Error(Error::InvalidProgramLength{16}).description(), "invalidProgramLength(16)");
    EXPECT_EQ(Error(Error::NotSegwit{}).description(), "notSegwit");
    EXPECT_EQ(std::string(Error(Error::WrongVariantForVersion{}).what()), "wrongVariantForVersion");
}

}  // namespace
}  // namespace corvanta
