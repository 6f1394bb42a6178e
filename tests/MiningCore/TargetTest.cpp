#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "HexBytes.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/mining/Target.h"

namespace corvanta {
namespace {

TEST(TargetFromCompactBits, PlacesTheMantissaByExponentAndRefusesInvalidForms) {
    const struct {
        std::uint32_t bits;
        const char* bigEndianHex;  // nullptr: refused
    } rows[] = {
        {0x1d00ffff, "00000000ffff0000000000000000000000000000000000000000000000000000"},
        {0x207fffff, "7fffff0000000000000000000000000000000000000000000000000000000000"},
        {0x1a44b9f2, "00000000000044b9f20000000000000000000000000000000000000000000000"},
        {0x03123456, "0000000000000000000000000000000000000000000000000000000000123456"},
        {0x20123456, "1234560000000000000000000000000000000000000000000000000000000000"},
        {0x1d80ffff, nullptr},  // sign bit
        {0x1d800001, nullptr},
        {0x1d000000, nullptr},  // zero mantissa
        {0x00123456, nullptr},
        {0x02123456, nullptr},
        {0x21123456, nullptr},
        {0xff123456, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        const auto target = Target::fromCompactBits(row.bits);
        ASSERT_EQ(target.has_value(), row.bigEndianHex != nullptr);
        if (target) {
            EXPECT_EQ(target->bigEndianBytes,
                      testing::reversed(testing::hashFromDisplayHex(row.bigEndianHex)));
        }
    }
    EXPECT_EQ(Target::fromCompactBits(0x1d00ffff)->bigEndianBytes, Difficulty::difficulty1Target());
    EXPECT_FALSE(Target::fromBigEndianBytes(std::vector<std::uint8_t>(31, 1)));
    EXPECT_FALSE(Target::fromBigEndianBytes(std::vector<std::uint8_t>(33, 1)));
}

TEST(Target, IsMetComparesTheDigestAsALittleEndianNumber) {
    const Target target = *Target::fromCompactBits(0x1d00ffff);
    const Hash32 equal = testing::reversed(target.bigEndianBytes);
    EXPECT_TRUE(target.isMet(equal));

    Hash32 oneAbove = equal;
    oneAbove[0] = 1;  // least significant byte
    EXPECT_FALSE(target.isMet(oneAbove));

    Hash32 justBelow = equal;
    justBelow[26] = 0xFE;
    EXPECT_TRUE(target.isMet(justBelow));

    EXPECT_FALSE(Target::easiest().isMet(std::vector<std::uint8_t>(31, 0)));
    EXPECT_TRUE(Target::easiest().isMet(std::vector<std::uint8_t>(32, 0xFF)));
}

TEST(Difficulty, IsDifficultyOneTargetOverTheValue) {
    EXPECT_EQ(Difficulty::value(Difficulty::difficulty1Target()), 1.0);
    EXPECT_TRUE(std::isinf(Difficulty::value({})));
    EXPECT_TRUE(std::isinf(Difficulty::value(Hash32{})));

    const Hash32 genesis = testing::reversed(testing::hashFromDisplayHex(
        "000000000019d6689c085ae165831e934ff763ae46a2a6c172b3f1b60a8ce26f"));
    EXPECT_NEAR(Difficulty::value(genesis), 2536.4263, 1e-4);

    Hash32 half = Difficulty::difficulty1Target();
    half[4] = 0x7F;
    half[5] = 0xFF;
    half[6] = 0x80;
    EXPECT_NEAR(Difficulty::value(half), 2.0, 1e-9);
}

}  // namespace
}  // namespace corvanta
