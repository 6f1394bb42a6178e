#include "corvanta/assembly/BitcoinEncoding.h"

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"

namespace corvanta {
namespace {

using testing::hex;

TEST(BitcoinEncodingTest, CompactSizeUsesTheShortestFormAtEachBoundary) {
    EXPECT_EQ(BitcoinEncoding::varInt(0), hex("00"));
    EXPECT_EQ(BitcoinEncoding::varInt(0xFC), hex("fc"));
    EXPECT_EQ(BitcoinEncoding::varInt(0xFD), hex("fdfd00"));
    EXPECT_EQ(BitcoinEncoding::varInt(0xFFFF), hex("fdffff"));
    EXPECT_EQ(BitcoinEncoding::varInt(0x10000), hex("fe00000100"));
    EXPECT_EQ(BitcoinEncoding::varInt(0xFFFF'FFFF), hex("feffffffff"));
    EXPECT_EQ(BitcoinEncoding::varInt(0x1'0000'0000), hex("ff0000000001000000"));
    EXPECT_EQ(BitcoinEncoding::varInt(UINT64_MAX), hex("ffffffffffffffffff"));
}

TEST(BitcoinEncodingTest, HexTextIsLowerCaseAndRoundTrips) {
    EXPECT_EQ(BitcoinEncoding::hexString(std::vector<std::uint8_t>{0x00, 0xAB, 0xFF}), "00abff");
    EXPECT_EQ(BitcoinEncoding::hexString({}), "");

    Bytes every(256);
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(BitcoinEncoding::hexBytes(BitcoinEncoding::hexString(every)), every);
}

TEST(BitcoinEncodingTest, HexParsingAcceptsOnlyWholeDigitPairs) {
    EXPECT_EQ(BitcoinEncoding::hexBytes(""), Bytes{});
    EXPECT_EQ(BitcoinEncoding::hexBytes("AbFf"), (Bytes{0xAB, 0xFF}));
    for (const char* bad :
         {"abc", "zz", "0g", " 0a", "0a ", "+f", "-1", "0x0a", "0a:0b", "\xc3\xa9"}) {
        EXPECT_EQ(BitcoinEncoding::hexBytes(bad), std::nullopt) << bad;
    }
}

TEST(BitcoinEncodingTest, DoubleSha256MatchesKnownDigests) {
    // SHA-256 twice over the empty message (the first round is e3b0c442...b855).
    EXPECT_EQ(BitcoinEncoding::hexString(doubleSHA256({})),
              "5df6e0e2761359d30a8275058e299fcc0381534545f55cf43e41983f5d4c9456");
    // The genesis block header hashes to its well-known block hash.
    const Bytes genesis = hex(
        "0100000000000000000000000000000000000000000000000000000000000000000000003ba3edfd7a7b12b27a"
        "c72c3e67768f617fc81bc3888a51323a9fb8aa4b1e5e4a29ab5f49ffff001d1dac2b7c");
    EXPECT_EQ(testing::displayHex(doubleSHA256(genesis)),
              "000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f");
}

}  // namespace
}  // namespace corvanta
