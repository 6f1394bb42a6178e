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

TEST(BitcoinEncodingTest, HexIsLowerCaseWholeDigitPairsAndRoundTrips) {
    Bytes every(256);
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = static_cast<std::uint8_t>(i);
    const std::string text = BitcoinEncoding::hexString(every);
    EXPECT_EQ(text.substr(0xAB * 2, 4), "abac");
    EXPECT_EQ(BitcoinEncoding::hexBytes(text), every);
    EXPECT_EQ(BitcoinEncoding::hexBytes("AbFf"), (Bytes{0xAB, 0xFF}));
    for (const char* bad : {"abc", "0g", " 0a", "+f", "0x0a", "\xc3\xa9"}) {
        EXPECT_EQ(BitcoinEncoding::hexBytes(bad), std::nullopt) << bad;
    }
    // The genesis block header hashes to its well-known block hash.
    const Bytes genesis = hex(
        "0100000000000000000000000000000000000000000000000000000000000000000000003ba3edfd7a7b12b27a"
        "c72c3e67768f617fc81bc3888a51323a9fb8aa4b1e5e4a29ab5f49ffff001d1dac2b7c");
    EXPECT_EQ(testing::displayHex(doubleSHA256(genesis)),
              "000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f");
}

}  // namespace
}  // namespace corvanta
