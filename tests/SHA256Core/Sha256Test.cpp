#include <gtest/gtest.h>

#include <string>

#include "corvanta/sha256/Sha256.h"

namespace corvanta::sha256 {
namespace {

std::string hex(const Digest& digest) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const auto byte : digest) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

Digest ofText(const std::string& text) {
    return sha256::digest({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(Sha256, FipsVectors) {
    EXPECT_EQ(hex(ofText("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(ofText("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(ofText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, StreamingMatchesOneShotAcrossBlockBoundaries) {
    std::string message;
    for (int i = 0; i < 300; ++i) message += static_cast<char>('a' + i % 26);
    for (std::size_t split = 0; split <= message.size(); split += 7) {
        Sha256 hasher;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
        hasher.update({bytes, split}).update({bytes + split, message.size() - split});
        EXPECT_EQ(hex(hasher.finish()), hex(ofText(message))) << "split at " << split;
    }
}

}  // namespace
}  // namespace corvanta::sha256
