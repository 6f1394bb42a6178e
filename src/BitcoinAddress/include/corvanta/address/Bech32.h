#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvanta {

enum class Bech32Variant { bech32, bech32m };

struct Bech32Decoded {
    std::string hrp;                 // lower case
    std::vector<std::uint8_t> data;  // values 0...31, without the six checksum values
    Bech32Variant variant;
    bool operator==(const Bech32Decoded&) const = default;
};

class Bech32Error : public std::runtime_error {
  public:
    struct InvalidCharacter {
        bool operator==(const InvalidCharacter&) const = default;
    };
    struct InvalidLength {
        bool operator==(const InvalidLength&) const = default;
    };
    struct MixedCase {
        bool operator==(const MixedCase&) const = default;
    };
    struct MissingSeparator {
        bool operator==(const MissingSeparator&) const = default;
    };
    struct ChecksumMismatch {
        bool operator==(const ChecksumMismatch&) const = default;
    };
    using Kind = std::variant<InvalidCharacter, InvalidLength, MixedCase, MissingSeparator,
                              ChecksumMismatch>;

    explicit Bech32Error(Kind kind);
    const Kind& kind() const { return kind_; }
    bool operator==(const Bech32Error& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

// Bech32 (BIP-173) and Bech32m (BIP-350) text decoding. There is no Base58 here: a legacy
// address never gets past this layer.
namespace Bech32 {

inline constexpr std::string_view alphabet = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

// Checks, in this order, the first failure deciding: mixed case, more than 90 characters,
// a character outside ASCII 33...126, no "1" separator (the last one splits), an empty
// human-readable part or fewer than six data characters, a data character outside the
// alphabet, a checksum that is neither Bech32 nor Bech32m. Throws Bech32Error.
Bech32Decoded decode(std::string_view text);

// The human-readable part as the checksum covers it: high bits of each byte, 0, low bits.
std::vector<std::uint8_t> hrpExpand(std::string_view hrp);

// The BIP-173 checksum function over 5-bit values.
std::uint32_t polymod(std::span<const std::uint8_t> values);

// The variant whose checksum `values` (data and checksum) satisfy under `hrp`, if any.
std::optional<Bech32Variant> matchingVariant(std::string_view hrp,
                                             std::span<const std::uint8_t> values);

}  // namespace Bech32
}  // namespace corvanta
