#include <gtest/gtest.h>

#include <string>

#include "corvanta/address/Bech32.h"

namespace corvanta {
namespace {

Bech32Error::Kind failure(std::string_view text) {
    try {
        Bech32::decode(text);
    } catch (const Bech32Error& error) {
        return error.kind();
    }
    ADD_FAILURE() << "decoded: " << text;
    return Bech32Error::ChecksumMismatch{};
}

// The valid strings of BIP-173 (Bech32) and BIP-350 (Bech32m).
TEST(Bech32, PublishedValidStringsDecodeWithTheirVariant) {
    const std::pair<const char*, Bech32Variant> valid[] = {
        {"A12UEL5L", Bech32Variant::bech32},
        {"a12uel5l", Bech32Variant::bech32},
        {"an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5"
         "tgs",
         Bech32Variant::bech32},
        {"abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw", Bech32Variant::bech32},
        {"11qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqc824"
         "7j",
         Bech32Variant::bech32},
        {"split1checkupstagehandshakeupstreamerranterredcaperred2y9e3w", Bech32Variant::bech32},
        {"?1ezyfcl", Bech32Variant::bech32},
        {"A1LQFN3A", Bech32Variant::bech32m},
        {"a1lqfn3a", Bech32Variant::bech32m},
        {"an83characterlonghumanreadablepartthatcontainsthetheexcludedcharactersbioandnumber11sg7"
         "hg6",
         Bech32Variant::bech32m},
        {"abcdef1l7aum6echk45nj3s0wdvt2fg8x9yrzpqzd3ryx", Bech32Variant::bech32m},
        {"11llllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllllludsr"
         "8",
         Bech32Variant::bech32m},
        {"split1checkupstagehandshakeupstreamerranterredcaperredlc445v", Bech32Variant::bech32m},
        {"?1v759aa", Bech32Variant::bech32m},
    };
    for (const auto& [text, variant] : valid) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Bech32::decode(text).variant, variant);
    }
}

TEST(Bech32, DataValuesFollowTheAlphabet) {
    const Bech32Decoded forward = Bech32::decode("abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw");
    const Bech32Decoded backward = Bech32::decode("abcdef1l7aum6echk45nj3s0wdvt2fg8x9yrzpqzd3ryx");
    ASSERT_EQ(forward.data.size(), 32u);
    ASSERT_EQ(backward.data.size(), 32u);
    for (std::uint8_t i = 0; i < 32; ++i) {
        EXPECT_EQ(forward.data[i], i);
        EXPECT_EQ(backward.data[i], 31 - i);
    }
    // The same human-readable part and data under each checksum: never taken for the other.
    EXPECT_EQ(Bech32::decode("A12UEL5L"), (Bech32Decoded{"a", {}, Bech32Variant::bech32}));
    EXPECT_EQ(Bech32::decode("A1LQFN3A"), (Bech32Decoded{"a", {}, Bech32Variant::bech32m}));
    EXPECT_EQ(Bech32::decode("?1ezyfcl").hrp, "?");
}

// The invalid strings of BIP-173 and BIP-350, with the check that refuses each.
TEST(Bech32, PublishedInvalidStringsAreRefusedByTheFirstFailingCheck) {
    const std::pair<std::string, Bech32Error::Kind> invalid[] = {
        {"\x20"
         "1nwldj5",
         Bech32Error::InvalidCharacter{}},
        {"\x7f"
         "1axkwrx",
         Bech32Error::InvalidCharacter{}},
        {"\x80"
         "1eym55h",
         Bech32Error::InvalidCharacter{}},
        {"an84characterslonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1"
         "569pvx",
         Bech32Error::InvalidLength{}},
        {"pzry9x0s0muk", Bech32Error::MissingSeparator{}},
        {"1pzry9x0s0muk", Bech32Error::InvalidLength{}},
        {"x1b4n0q5v", Bech32Error::InvalidCharacter{}},
        {"li1dgmt3", Bech32Error::InvalidLength{}},
        {"de1lg7wt\xff", Bech32Error::InvalidCharacter{}},
        {"A1G7SGD8", Bech32Error::ChecksumMismatch{}},
        {"10a06t8", Bech32Error::InvalidLength{}},
        {"1qzzfhee", Bech32Error::InvalidLength{}},
        {"\x20"
         "1xj0phk",
         Bech32Error::InvalidCharacter{}},
        {"\x7f"
         "1g6xzxy",
         Bech32Error::InvalidCharacter{}},
        {"\x80"
         "1vctc34",
         Bech32Error::InvalidCharacter{}},
        {"an84characterslonghumanreadablepartthatcontainsthetheexcludedcharactersbioandnumber11"
         "d6pts4",
         Bech32Error::InvalidLength{}},
        {"qyrz8wqd2c9m", Bech32Error::MissingSeparator{}},
        {"1qyrz8wqd2c9m", Bech32Error::InvalidLength{}},
        {"y1b0jsk6g", Bech32Error::InvalidCharacter{}},
        {"lt1igcx5c0", Bech32Error::InvalidCharacter{}},
        {"in1muywd", Bech32Error::InvalidLength{}},
        {"mm1crxm3i", Bech32Error::InvalidCharacter{}},
        {"au1s5cgom", Bech32Error::InvalidCharacter{}},
        {"M1VUXWEZ", Bech32Error::ChecksumMismatch{}},
        {"16plkw9", Bech32Error::InvalidLength{}},
        {"1p2gdwpf", Bech32Error::InvalidLength{}},
    };
    for (const auto& [text, kind] : invalid) {
        SCOPED_TRACE(text);
        EXPECT_EQ(failure(text), kind);
    }
}

TEST(Bech32, CaseIsAllOrNothingAndCheckedFirst) {
    EXPECT_EQ(Bech32::decode("A12UEL5L"), Bech32::decode("a12uel5l"));
    EXPECT_EQ(failure("A12UEl5L"), Bech32Error::Kind(Bech32Error::MixedCase{}));
    // Mixed case is reported before an excessive length.
    EXPECT_EQ(failure("A" + std::string(95, 'q')), Bech32Error::Kind(Bech32Error::MixedCase{}));
}

TEST(Bech32, LengthLimitIsNinetyCharacters) {
    const std::string ninety =
        "11qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqc8247"
        "j";
    ASSERT_EQ(ninety.size(), 90u);
    EXPECT_NO_THROW(Bech32::decode(ninety));
    // One more character, even one that would keep the checksum, is too long.
    EXPECT_EQ(failure("1" + ninety), Bech32Error::Kind(Bech32Error::InvalidLength{}));
    // A human-readable part alone with five data characters.
    EXPECT_EQ(failure("a1qqqqq"), Bech32Error::Kind(Bech32Error::InvalidLength{}));
    EXPECT_EQ(failure(""), Bech32Error::Kind(Bech32Error::MissingSeparator{}));
}

TEST(Bech32, CharactersOutsidePrintableAsciiAreRefused) {
    for (const std::string& text :
         {std::string("a1 2uel5l"), std::string("a12uel5l\r\n"), std::string("a12uel5l\0", 9),
          std::string("\xc3\xa9"
                      "12uel5l")}) {
        EXPECT_EQ(failure(text), Bech32Error::Kind(Bech32Error::InvalidCharacter{}));
    }
    for (const char letter : {'b', 'i', 'o'}) {
        std::string text = "a12uel5l";
        text[3] = letter;
        EXPECT_EQ(failure(text), Bech32Error::Kind(Bech32Error::InvalidCharacter{}));
    }
}

TEST(Bech32, TheLastOneSeparates) {
    const Bech32Decoded decoded = Bech32::decode(
        "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5"
        "tgs");
    EXPECT_EQ(
        decoded.hrp,
        "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio");
    EXPECT_TRUE(decoded.data.empty());
}

}  // namespace
}  // namespace corvanta
