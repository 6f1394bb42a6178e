#include "corvanta/assembly/SignetChallenge.h"

#include <gtest/gtest.h>

#include "AssemblyFixtures.h"

namespace corvanta {
namespace {

std::string repeated(std::string_view hex, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += hex;
    return text;
}

// A PUSHDATA2 of `length` bytes of 01, a true element.
std::string longPush(std::size_t length) {
    const Bytes size{static_cast<std::uint8_t>(length & 0xff),
                     static_cast<std::uint8_t>(length >> 8)};
    return "4d" + BitcoinEncoding::hexString(size) + repeated("01", length);
}

// Whether a block of a signet with each challenge is valid with no signature, as the node's
// script check would say with an empty solution: exactly for the opcodes decided, never "met"
// for anything else.
TEST(SignetChallengeTest, OnlyAChallengeAnEmptySolutionMeetsIsMet) {
    const struct {
        const char* name;
        std::string challenge;
        bool met;
    } cases[] = {
        {"OP_TRUE", "51", true},
        {"OP_16", "60", true},
        {"OP_1NEGATE", "4f", true},
        {"a push of a true byte", "0101", true},
        {"1 with a needless zero byte", "020100", true},
        {"256", "020001", true},
        {"two zero bytes", "020000", false},
        {"PUSHDATA1", "4c0101", true},
        {"PUSHDATA2", "4d010001", true},
        {"PUSHDATA4", "4e0100000001", true},
        {"a false top below nothing else", "5100", false},
        {"a true top above a false element", "0051", true},
        {"OP_0", "00", false},
        {"negative zero", "0180", false},
        {"a longer negative zero", "03000080", false},
        {"the empty challenge", "", false},
        {"a push cut short", "0201", false},
        {"a PUSHDATA1 without its length", "4c", false},
        {"a PUSHDATA2 with half its length", "4d01", false},
        {"OP_1 OP_VERIFY leaves nothing", "5169", false},
        {"OP_1 OP_1 OP_VERIFY", "515169", true},
        {"OP_0 OP_VERIFY", "005169", false},
        {"OP_VERIFY on an empty stack", "69", false},
        {"OP_1 OP_DUP", "5176", true},
        {"OP_DUP on an empty stack", "76", false},
        {"OP_1 OP_1 OP_DROP", "515175", true},
        {"OP_0 OP_1 OP_DROP", "005175", false},
        {"OP_DROP on an empty stack", "75", false},
        {"OP_NOP OP_1", "6151", true},
        {"OP_RETURN", "6a", false},
        {"OP_1 OP_RETURN", "516a", false},
        {"OP_RESERVED", "50", false},
        {"OP_1 OP_IF OP_1 OP_ENDIF: branches are not decided", "51635168", false},
        {"OP_1 OP_CHECKSIG", "51ac", false},
        {"the default signet's 1-of-2 multisig",
         "512103ad5e0edad18cb1f0fc0d28a3d4f1f3e445640337489abb10404f2d1e086be430210359ef5021964fe2"
         "2d6f8e05b2463c9540ce96883fe3b278760f048f5189f2e6c452ae",
         false},
        {"pay to script hash", "a914" + repeated("11", 20) + "87", false},
        {"pay to witness key hash", "0014" + repeated("11", 20), false},
        {"pay to witness script hash", "0020" + repeated("11", 32), false},
        // Its evaluation leaves a true top, but the node then checks the witness program.
        {"pay to taproot", "5120" + repeated("11", 32), false},
        {"a two-byte version 1 program", "51024e73", false},
        {"OP_1 and a one-byte push, no program", "510151", true},
        {"a push of 520 bytes", longPush(520), true},
        {"a push of 521 bytes", longPush(521), false},
        {"201 operations", repeated("61", 201) + "51", true},
        {"202 operations", repeated("61", 202) + "51", false},
        {"1000 elements", repeated("51", 1000), true},
        {"1001 elements", repeated("51", 1001), false},
        {"10000 bytes", repeated(longPush(520) + "75", 19) + "2a" + repeated("01", 42) + "51",
         true},
        {"10001 bytes", repeated(longPush(520) + "75", 19) + "2b" + repeated("01", 43) + "51",
         false},
    };
    for (const auto& [name, challenge, met] : cases) {
        EXPECT_EQ(signetChallengeMetByEmptySolution(testing::hex(challenge)), met) << name;
    }
}

}  // namespace
}  // namespace corvanta
