#include <gtest/gtest.h>

#include "Utf8.h"

namespace corvanta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

TEST(Utf8Test, ReplacesInvalidSubpartsOnly) {
    EXPECT_EQ(decodeUtf8Lossy("nœud"), "nœud");
    EXPECT_EQ(decodeUtf8Lossy("a\xFF"
                              "b"),
              "a" + std::string(kReplacement) + "b");
    // A truncated three-byte sequence is one maximal subpart: one replacement.
    EXPECT_EQ(decodeUtf8Lossy("\xE2\x82"
                              "x"),
              std::string(kReplacement) + "x");
    // Overlong and surrogate forms are invalid.
    EXPECT_EQ(decodeUtf8Lossy("\xC0\xAF"), std::string(kReplacement) + std::string(kReplacement));
    EXPECT_EQ(countCodePoints(decodeUtf8Lossy("\xED\xA0\x80")), 3u);
    EXPECT_EQ(decodeUtf8Lossy("\xE2\x82"), kReplacement);  // cut at the very end
}

TEST(Utf8Test, ACharacterSplitAcrossChunksSurvives) {
    Utf8Decoder decoder;
    std::string out;
    const std::string euro = "\xE2\x82\xAC";
    decoder.decode("x" + euro.substr(0, 1), out);
    decoder.decode(euro.substr(1, 1), out);
    decoder.decode(euro.substr(2) + "y", out);
    EXPECT_EQ(out, "x" + euro + "y");
}

TEST(OutputTailTest, KeepsTheLastCharactersNotBytes) {
    OutputTail tail(5);
    tail.append("abc");
    tail.append("déf");  // é is two bytes, one character
    EXPECT_EQ(tail.text(), "bcdéf");
    tail.append("\xE2\x82");
    tail.append("\xAC!");
    EXPECT_EQ(tail.text(), "déf€!");
    EXPECT_EQ(countCodePoints(tail.text()), 5u);
    tail.append("\xE2");
    tail.finish();
    EXPECT_EQ(tail.text(), "éf€!" + std::string(kReplacement));
    tail.clear();
    EXPECT_EQ(tail.text(), "");
}

}  // namespace
}  // namespace corvanta
