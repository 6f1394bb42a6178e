#include "corvanta/assembly/BitcoinEncoding.h"

#include <array>

#include "ByteWriting.h"
#include "corvanta/sha256/Sha256.h"

namespace corvanta {

using detail::appendLittleEndian;

namespace {

constexpr std::array<char, 512> makeHexDigitPairs() {
    constexpr std::string_view digits = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (std::size_t value = 0; value < 256; ++value) {
        pairs[2 * value] = digits[value >> 4];
        pairs[2 * value + 1] = digits[value & 0x0F];
    }
    return pairs;
}

constexpr std::array<char, 512> hexDigitPairs = makeHexDigitPairs();

// -1 for anything that is not a hex digit.
constexpr int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Bytes BitcoinEncoding::varInt(std::uint64_t value) {
    Bytes out;
    if (value <= 0xFC) {
        out.push_back(static_cast<std::uint8_t>(value));
    } else if (value <= 0xFFFF) {
        out.push_back(0xFD);
        appendLittleEndian(out, value, 2);
    } else if (value <= 0xFFFF'FFFF) {
        out.push_back(0xFE);
        appendLittleEndian(out, value, 4);
    } else {
        out.push_back(0xFF);
        appendLittleEndian(out, value, 8);
    }
    return out;
}

std::string BitcoinEncoding::hexString(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) text.append(&hexDigitPairs[2 * std::size_t{byte}], 2);
    return text;
}

std::optional<Bytes> BitcoinEncoding::hexBytes(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>((high << 4) | low));
    }
    return bytes;
}

Hash32 doubleSHA256(std::span<const std::uint8_t> bytes) {
    return sha256::doubleDigest(bytes);
}

}  // namespace corvanta
