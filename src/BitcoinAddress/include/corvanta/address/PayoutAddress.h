#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvanta {

// The human-readable prefix of segwit addresses per network. The application's networks
// (mainnet, testnet4, signet, regtest) map to these cases by position.
enum class BitcoinNetworkPrefix { mainnet, testnet, signet, regtest };

inline constexpr std::array<BitcoinNetworkPrefix, 4> kAllBitcoinNetworkPrefixes = {
    BitcoinNetworkPrefix::mainnet, BitcoinNetworkPrefix::testnet, BitcoinNetworkPrefix::signet,
    BitcoinNetworkPrefix::regtest};

// "bc", "tb", "tb", "bcrt".
std::string_view rawValue(BitcoinNetworkPrefix prefix);

class PayoutAddressError : public std::runtime_error {
  public:
    struct WrongNetwork {
        std::string expected;  // the network's prefix
        std::string found;     // the address's human-readable part
        bool operator==(const WrongNetwork&) const = default;
    };
    struct UnsupportedWitnessVersion {
        int version;
        bool operator==(const UnsupportedWitnessVersion&) const = default;
    };
    struct InvalidProgramLength {
        int length;  // bytes
        bool operator==(const InvalidProgramLength&) const = default;
    };
    // Not a Bech32/Bech32m segwit address at all (legacy, bad checksum, no witness data).
    struct NotSegwit {
        bool operator==(const NotSegwit&) const = default;
    };
    struct WrongVariantForVersion {
        bool operator==(const WrongVariantForVersion&) const = default;
    };
    using Kind = std::variant<WrongNetwork, UnsupportedWitnessVersion, InvalidProgramLength,
                              NotSegwit, WrongVariantForVersion>;

    explicit PayoutAddressError(Kind kind);
    const Kind& kind() const { return kind_; }
    // The case as the user is shown it, e.g. wrongNetwork(expected: "bc", found: "tb"),
    // unsupportedWitnessVersion(2), invalidProgramLength(16), notSegwit. Same as what().
    std::string description() const { return what(); }
    bool operator==(const PayoutAddressError& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

// A native segwit payout address: witness version 0 (P2WPKH, P2WSH; Bech32) or 1 (P2TR;
// Bech32m) for one network, and the output script a coinbase pays to it.
class PayoutAddress {
  public:
    // Parses `text` as typed (upper case is accepted). Throws PayoutAddressError.
    PayoutAddress(std::string_view text, BitcoinNetworkPrefix network);

    // Witness version opcode (0x00 or 0x51), program length, program.
    const std::vector<std::uint8_t>& scriptPubKey() const { return scriptPubKey_; }
    int witnessVersion() const { return witnessVersion_; }
    // The text exactly as given to the parser.
    const std::string& displayString() const { return displayString_; }

    bool operator==(const PayoutAddress&) const = default;

  private:
    std::vector<std::uint8_t> scriptPubKey_;
    int witnessVersion_ = 0;
    std::string displayString_;
};

}  // namespace corvanta
