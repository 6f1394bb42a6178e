#include <gtest/gtest.h>

#include <string>

#include "corvanta/address/Bech32.h"

namespace corvanta {
namespace {

using Kind = Bech32Error::Kind;

Kind failure(std::string_view text) {
    try {
        Bech32::decode(text);
    } catch (const Bech32Error& error) {
        return error.kind();
    }
    ADD_FAILURE() << "decoded: " << text;
    return Bech32Error::ChecksumMismatch{};
}

const std::string kNinety =
    "11qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqc8247j";

// From the valid strings of BIP-173 (Bech32) and BIP-350 (Bech32m).
TEST(Bech32, PublishedValidStringsDecodeWithTheirVariantAndParts) {
    const struct {
        std::string text, hrp;
        std::size_t dataSize;
        Bech32Variant variant;
    } valid[] = {
        {"A12UEL5L", "a", 0, Bech32Variant::bech32},
        {"A1LQFN3A", "a", 0, Bech32Variant::bech32m},  // same parts, the other checksum
        {"a1lqfn3a", "a", 0, Bech32Variant::bech32m},
        {"an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5"
         "tgs",
         "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio", 0,
         Bech32Variant::bech32},                    // the last 1 separates
        {kNinety, "1", 82, Bech32Variant::bech32},  // the longest allowed
        {"11llllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllludsr"
         "8",
         "1", 82, Bech32Variant::bech32m},
        {"?1v759aa", "?", 0, Bech32Variant::bech32m},
    };
    for (const auto& row : valid) {
        SCOPED_TRACE(row.text);
        const Bech32Decoded decoded = Bech32::decode(row.text);
        EXPECT_EQ(decoded.variant, row.variant);
        EXPECT_EQ(decoded.hrp, row.hrp);
        EXPECT_EQ(decoded.data.size(), row.dataSize);
    }

    const Bech32Decoded forward = Bech32::decode("abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw");
    const Bech32Decoded backward = Bech32::decode("abcdef1l7aum6echk45nj3s0wdvt2fg8x9yrzpqzd3ryx");
    ASSERT_EQ(forward.data.size(), 32u);
    ASSERT_EQ(backward.data.size(), 32u);
    for (std::uint8_t i = 0; i < 32; ++i) {
        EXPECT_EQ(forward.data[i], i);
        EXPECT_EQ(backward.data[i], 31 - i);
    }
}

// From the invalid strings of BIP-173 and BIP-350, with the check that refuses each first.
TEST(Bech32, InvalidStringsAreRefusedByTheFirstFailingCheck) {
    const std::pair<std::string, Kind> invalid[] = {
        {"\x20"
         "1nwldj5",
         Bech32Error::InvalidCharacter{}},
        {"\x7f"
         "1g6xzxy",
         Bech32Error::InvalidCharacter{}},
        {"\x80"
         "1eym55h",
         Bech32Error::InvalidCharacter{}},
        {"de1lg7wt\xff", Bech32Error::InvalidCharacter{}},
        {"x1b4n0q5v", Bech32Error::InvalidCharacter{}},  // b is not in the alphabet
        {"lt1igcx5c0", Bech32Error::InvalidCharacter{}},
        {std::string("a12uel5l\0", 9), Bech32Error::InvalidCharacter{}},
        {"a12uel5l\r\n", Bech32Error::InvalidCharacter{}},
        {"an84characterslonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1"
         "569pvx",
         Bech32Error::InvalidLength{}},
        {"1" + kNinety, Bech32Error::InvalidLength{}},
        {"1pzry9x0s0muk", Bech32Error::InvalidLength{}},  // empty human-readable part
        {"li1dgmt3", Bech32Error::InvalidLength{}},       // checksum too short
        {"a1qqqqq", Bech32Error::InvalidLength{}},
        {"pzry9x0s0muk", Bech32Error::MissingSeparator{}},
        {"", Bech32Error::MissingSeparator{}},
        {"A1G7SGD8", Bech32Error::ChecksumMismatch{}},
        {"M1VUXWEZ", Bech32Error::ChecksumMismatch{}},
        {"A12UEl5L", Bech32Error::MixedCase{}},
        {"A" + std::string(95, 'q'), Bech32Error::MixedCase{}},  // before the length
    };
    for (const auto& [text, kind] : invalid) {
        SCOPED_TRACE(text);
        EXPECT_EQ(failure(text), kind);
    }
}

}  // namespace
}  // namespace corvanta
