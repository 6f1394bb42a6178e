#include "corvanta/address/PayoutAddress.h"

#include <optional>

#include "corvanta/address/Bech32.h"

namespace corvanta {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

std::string describe(const PayoutAddressError::Kind& kind) {
    using Error = PayoutAddressError;
    return std::visit(Overloaded{
                          [](const Error::WrongNetwork& value) {
                              return "wrongNetwork(expected: \"" + value.expected +
                                     "\", found: \"" + value.found + "\")";
                          },
                          [](const Error::UnsupportedWitnessVersion& value) {
                              return "unsupportedWitnessVersion(" + std::to_string(value.version) +
                                     ")";
                          },
                          [](const Error::InvalidProgramLength& value) {
                              return "invalidProgramLength(" + std::to_string(value.length) + ")";
                          },
                          [](const Error::NotSegwit&) { return std::string("notSegwit"); },
                          [](const Error::WrongVariantForVersion&) {
                              return std::string("wrongVariantForVersion");
                          },
                      },
                      kind);
}

struct WitnessProgram {
    std::vector<std::uint8_t> bytes;
    bool canonicalPadding;  // at most 4 bits left over, all zero
};

// Regroups 5-bit values into bytes.
WitnessProgram convertBits(std::span<const std::uint8_t> values) {
    WitnessProgram program;
    std::uint32_t accumulator = 0;
    int bits = 0;
    for (const std::uint8_t value : values) {
        accumulator = (accumulator << 5 | value) & 0xfff;
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            program.bytes.push_back(static_cast<std::uint8_t>(accumulator >> bits));
        }
    }
    program.canonicalPadding = bits <= 4 && (accumulator & ((1u << bits) - 1)) == 0;
    return program;
}

}  // namespace

std::string_view rawValue(BitcoinNetworkPrefix prefix) {
    switch (prefix) {
        case BitcoinNetworkPrefix::mainnet:
            return "bc";
        case BitcoinNetworkPrefix::testnet:
        case BitcoinNetworkPrefix::signet:
            return "tb";
        case BitcoinNetworkPrefix::regtest:
            return "bcrt";
    }
    return "bc";
}

PayoutAddressError::PayoutAddressError(Kind kind)
    : std::runtime_error(describe(kind)), kind_(std::move(kind)) {}

PayoutAddress::PayoutAddress(std::string_view text, BitcoinNetworkPrefix network)
    : displayString_(text) {
    using Error = PayoutAddressError;
    std::optional<Bech32Decoded> decoded;
    try {
        decoded = Bech32::decode(text);
    } catch (const Bech32Error&) {
        throw Error(Error::NotSegwit{});
    }
    const std::string_view expected = rawValue(network);
    if (decoded->hrp != expected) {
        throw Error(Error::WrongNetwork{std::string(expected), decoded->hrp});
    }
    if (decoded->data.empty()) throw Error(Error::NotSegwit{});

    witnessVersion_ = decoded->data.front();
    if (witnessVersion_ != 0 && witnessVersion_ != 1) {
        throw Error(Error::UnsupportedWitnessVersion{witnessVersion_});
    }
    const Bech32Variant required =
        witnessVersion_ == 0 ? Bech32Variant::bech32 : Bech32Variant::bech32m;
    if (decoded->variant != required) throw Error(Error::WrongVariantForVersion{});

    const WitnessProgram program = convertBits(std::span(decoded->data).subspan(1));
    const auto length = static_cast<int>(program.bytes.size());
    const bool lengthAllowed = witnessVersion_ == 0 ? (length == 20 || length == 32) : length == 32;
    if (!lengthAllowed) throw Error(Error::InvalidProgramLength{length});
    // Left-over bits must be padding (at most four, all zero). Otherwise the text is not the
    // encoding of this program: a checksum-valid string no wallet would have written.
    if (!program.canonicalPadding) throw Error(Error::NotSegwit{});

    scriptPubKey_.reserve(2 + program.bytes.size());
    scriptPubKey_.push_back(witnessVersion_ == 0 ? 0x00 : 0x51);
    scriptPubKey_.push_back(static_cast<std::uint8_t>(length));
    scriptPubKey_.insert(scriptPubKey_.end(), program.bytes.begin(), program.bytes.end());
}

}  // namespace corvanta
