#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "HexBytes.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/mining/Target.h"

namespace corvanta {
namespace {

TEST(TargetFromCompactBits, DecodesDifficultyOneAndRegtest) {
    const auto difficultyOne = Target::fromCompactBits(0x1d00ffff);
    ASSERT_TRUE(difficultyOne);
    EXPECT_EQ(difficultyOne->bigEndianBytes, Difficulty::difficulty1Target());

    const auto regtest = Target::fromCompactBits(0x207fffff);
    ASSERT_TRUE(regtest);
    Hash32 expected{};
    expected[0] = 0x7F;
    expected[1] = 0xFF;
    expected[2] = 0xFF;
    EXPECT_EQ(regtest->bigEndianBytes, expected);
}

TEST(TargetFromCompactBits, PlacesTheMantissaByExponentAtBothEnds) {
    const auto smallest = Target::fromCompactBits(0x03123456);
    ASSERT_TRUE(smallest);
    EXPECT_EQ(smallest->bigEndianBytes[29], 0x12);
    EXPECT_EQ(smallest->bigEndianBytes[30], 0x34);
    EXPECT_EQ(smallest->bigEndianBytes[31], 0x56);

    const auto mainnet = Target::fromCompactBits(0x1a44b9f2);
    ASSERT_TRUE(mainnet);
    EXPECT_EQ(mainnet->bigEndianBytes,
              testing::reversed(testing::hashFromDisplayHex(
                  "00000000000044b9f20000000000000000000000000000000000000000000000")));
}

TEST(TargetFromCompactBits, RefusesSignZeroMantissaAndOutOfRangeExponents) {
    EXPECT_FALSE(Target::fromCompactBits(0x1d800000 | 0x00ffff));  // sign bit
    EXPECT_FALSE(Target::fromCompactBits(0x1d800001));
    EXPECT_FALSE(Target::fromCompactBits(0x1d000000));  // zero mantissa
    EXPECT_FALSE(Target::fromCompactBits(0x00123456));
    EXPECT_FALSE(Target::fromCompactBits(0x01123456));
    EXPECT_FALSE(Target::fromCompactBits(0x02123456));
    EXPECT_FALSE(Target::fromCompactBits(0x21123456));
    EXPECT_FALSE(Target::fromCompactBits(0xff123456));
    EXPECT_TRUE(Target::fromCompactBits(0x20123456));
}

TEST(Target, FromBigEndianBytesNeedsExactly32) {
    EXPECT_FALSE(Target::fromBigEndianBytes(std::vector<std::uint8_t>(31, 1)));
    EXPECT_FALSE(Target::fromBigEndianBytes(std::vector<std::uint8_t>(33, 1)));
    const auto target = Target::fromBigEndianBytes(std::vector<std::uint8_t>(32, 7));
    ASSERT_TRUE(target);
    EXPECT_EQ(target->bigEndianBytes[31], 7);
    Hash32 allOnes{};
    allOnes.fill(0xFF);
    EXPECT_EQ(Target::easiest().bigEndianBytes, allOnes);
}

TEST(Target, IsMetComparesTheDigestAsALittleEndianNumber) {
    const Target target = *Target::fromCompactBits(0x1d00ffff);
    // Little-endian digest of exactly the target: equality meets it.
    const Hash32 equal = testing::reversed(target.bigEndianBytes);
    EXPECT_TRUE(target.isMet(equal));

    Hash32 oneAbove = equal;
    oneAbove[0] = 1;  // least significant byte
    EXPECT_FALSE(target.isMet(oneAbove));

    Hash32 justBelow = equal;
    justBelow[26] = 0xFE;  // big-endian byte 5
    EXPECT_TRUE(target.isMet(justBelow));

    Hash32 highByteSet{};
    highByteSet[31] = 1;  // most significant byte
    EXPECT_FALSE(target.isMet(highByteSet));

    EXPECT_FALSE(Target::easiest().isMet(std::vector<std::uint8_t>(31, 0)));
    EXPECT_TRUE(Target::easiest().isMet(std::vector<std::uint8_t>(32, 0xFF)));
}

TEST(Difficulty, OfTheDifficultyOneTargetIsExactlyOne) {
    EXPECT_EQ(Difficulty::value(Difficulty::difficulty1Target()), 1.0);
}

TEST(Difficulty, IsInfiniteForEmptyOrZeroValues) {
    EXPECT_TRUE(std::isinf(Difficulty::value({})));
    EXPECT_TRUE(std::isinf(Difficulty::value(Hash32{})));
}

TEST(Difficulty, GrowsAsTheValueFalls) {
    // The genesis block's hash, big-endian.
    const Hash32 genesis = testing::reversed(testing::hashFromDisplayHex(
        "000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f"));
    EXPECT_NEAR(Difficulty::value(genesis), 2536.4263, 1e-4);

    Hash32 halfOfDifficultyOne = Difficulty::difficulty1Target();
    halfOfDifficultyOne[4] = 0x7F;
    halfOfDifficultyOne[5] = 0xFF;
    halfOfDifficultyOne[6] = 0x80;
    EXPECT_NEAR(Difficulty::value(halfOfDifficultyOne), 2.0, 1e-9);
    EXPECT_LT(Difficulty::value(Target::easiest().bigEndianBytes), 1e-9);
}

}  // namespace
}  // namespace corvanta
