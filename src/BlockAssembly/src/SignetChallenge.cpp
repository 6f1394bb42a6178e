#include "corvanta/assembly/SignetChallenge.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace corvanta {

namespace {

// The node's script limits.
constexpr std::size_t maxScriptSize = 10'000;
constexpr std::size_t maxElementSize = 520;
constexpr int maxOperations = 201;
constexpr std::size_t maxStackSize = 1'000;

enum Opcode : std::uint8_t {
    op0 = 0x00,
    opPushData1 = 0x4c,
    opPushData2 = 0x4d,
    opPushData4 = 0x4e,
    op1Negate = 0x4f,
    op1 = 0x51,
    op16 = 0x60,
    opNop = 0x61,
    opVerify = 0x69,
    opDrop = 0x75,
    opDup = 0x76,
};

using Element = std::vector<std::uint8_t>;

// Any non-zero byte is true, but for a negative zero (0x80 last, zeros before it).
bool isTrue(const Element& element) {
    for (std::size_t i = 0; i < element.size(); ++i) {
        if (element[i] != 0) return !(i + 1 == element.size() && element[i] == 0x80);
    }
    return false;
}

// A version byte (OP_0, OP_1 to OP_16) and one push of 2 to 40 bytes, the whole script: the node
// then checks the witness against that program, not the script.
bool isWitnessProgram(std::span<const std::uint8_t> script) {
    if (script.size() < 4 || script.size() > 42) return false;
    if (script[0] != op0 && (script[0] < op1 || script[0] > op16)) return false;
    return static_cast<std::size_t>(script[1]) + 2 == script.size();
}

// The little-endian length that follows a PUSHDATA opcode; none when the script ends first.
std::optional<std::size_t> pushLength(std::span<const std::uint8_t> script, std::size_t& at,
                                      std::size_t width) {
    if (script.size() - at < width) return std::nullopt;
    std::size_t length = 0;
    for (std::size_t i = 0; i < width; ++i) length |= std::size_t{script[at + i]} << (8 * i);
    at += width;
    return length;
}

// Runs one opcode other than a push of data; false when the script fails there, or when the
// opcode is not one decided here (a signature, a hash, a branch...).
bool execute(std::uint8_t opcode, std::vector<Element>& stack) {
    if (opcode >= op1 && opcode <= op16) {
        stack.push_back({static_cast<std::uint8_t>(opcode - (op1 - 1))});
        return true;
    }
    switch (opcode) {
        case op1Negate:
            stack.push_back({0x81});
            return true;
        case opNop:
            return true;
        case opVerify:
            if (stack.empty() || !isTrue(stack.back())) return false;
            stack.pop_back();
            return true;
        case opDrop:
            if (stack.empty()) return false;
            stack.pop_back();
            return true;
        case opDup: {
            if (stack.empty()) return false;
            Element copy = stack.back();
            stack.push_back(std::move(copy));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

bool signetChallengeMetByEmptySolution(std::span<const std::uint8_t> challenge) {
    if (challenge.size() > maxScriptSize || isWitnessProgram(challenge)) return false;
    std::vector<Element> stack;
    int operations = 0;
    for (std::size_t at = 0; at < challenge.size();) {
        const std::uint8_t opcode = challenge[at++];
        if (opcode <= opPushData4) {
            const std::size_t width = opcode == opPushData1   ? 1
                                      : opcode == opPushData2 ? 2
                                      : opcode == opPushData4 ? 4
                                                              : 0;
            const auto length =
                width == 0 ? std::optional<std::size_t>(opcode) : pushLength(challenge, at, width);
            if (!length || challenge.size() - at < *length || *length > maxElementSize) {
                return false;
            }
            stack.emplace_back(challenge.begin() + at, challenge.begin() + at + *length);
            at += *length;
        } else {
            if (opcode > op16 && ++operations > maxOperations) return false;
            if (!execute(opcode, stack)) return false;
        }
        if (stack.size() > maxStackSize) return false;
    }
    return !stack.empty() && isTrue(stack.back());
}

}  // namespace corvanta
