#include "corvanta/address/Bech32.h"

#include <algorithm>
#include <array>

namespace corvanta {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

std::string describe(const Bech32Error::Kind& kind) {
    return std::visit(Overloaded{
                          [](Bech32Error::InvalidCharacter) { return "invalidCharacter"; },
                          [](Bech32Error::InvalidLength) { return "invalidLength"; },
                          [](Bech32Error::MixedCase) { return "mixedCase"; },
                          [](Bech32Error::MissingSeparator) { return "missingSeparator"; },
                          [](Bech32Error::ChecksumMismatch) { return "checksumMismatch"; },
                      },
                      kind);
}

constexpr std::size_t kMaxLength = 90;
constexpr std::size_t kChecksumLength = 6;
constexpr std::uint32_t kBech32Constant = 1;
constexpr std::uint32_t kBech32mConstant = 0x2bc830a3;

bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// Characters, not bytes: a UTF-8 continuation byte does not start a new one.
std::size_t characterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Index of each character in the alphabet, or -1.
constexpr std::array<std::int8_t, 128> kAlphabetIndex = [] {
    std::array<std::int8_t, 128> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < Bech32::alphabet.size(); ++i) {
        table[static_cast<std::size_t>(Bech32::alphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}();

}  // namespace

Bech32Error::Bech32Error(Kind kind) : std::runtime_error(describe(kind)), kind_(kind) {}

namespace Bech32 {

std::vector<std::uint8_t> hrpExpand(std::string_view hrp) {
    std::vector<std::uint8_t> expanded;
    expanded.reserve(hrp.size() * 2 + 1);
    for (const char c : hrp) expanded.push_back(static_cast<std::uint8_t>(c) >> 5);
    expanded.push_back(0);
    for (const char c : hrp) expanded.push_back(static_cast<std::uint8_t>(c) & 31);
    return expanded;
}

std::uint32_t polymod(std::span<const std::uint8_t> values) {
    static constexpr std::array<std::uint32_t, 5> kGenerator = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa,
                                                                0x3d4233dd, 0x2a1462b3};
    std::uint32_t checksum = 1;
    for (const std::uint8_t value : values) {
        const std::uint32_t top = checksum >> 25;
        checksum = ((checksum & 0x1ffffff) << 5) ^ value;
        for (std::size_t i = 0; i < kGenerator.size(); ++i) {
            if ((top >> i) & 1) checksum ^= kGenerator[i];
        }
    }
    return checksum;
}

std::optional<Bech32Variant> matchingVariant(std::string_view hrp,
                                             std::span<const std::uint8_t> values) {
    std::vector<std::uint8_t> covered = hrpExpand(hrp);
    covered.insert(covered.end(), values.begin(), values.end());
    switch (polymod(covered)) {
        case kBech32Constant:
            return Bech32Variant::bech32;
        case kBech32mConstant:
            return Bech32Variant::bech32m;
        default:
            return std::nullopt;
    }
}

Bech32Decoded decode(std::string_view text) {
    if (std::any_of(text.begin(), text.end(), isLower) &&
        std::any_of(text.begin(), text.end(), isUpper)) {
        throw Bech32Error(Bech32Error::MixedCase{});
    }
    if (characterCount(text) > kMaxLength) throw Bech32Error(Bech32Error::InvalidLength{});
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= 33 && c <= 126; })) {
        throw Bech32Error(Bech32Error::InvalidCharacter{});
    }
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; });

    const std::size_t separator = lowered.rfind('1');
    if (separator == std::string::npos) throw Bech32Error(Bech32Error::MissingSeparator{});
    std::string hrp = lowered.substr(0, separator);
    const std::string_view dataPart = std::string_view(lowered).substr(separator + 1);
    if (hrp.empty() || dataPart.size() < kChecksumLength) {
        throw Bech32Error(Bech32Error::InvalidLength{});
    }

    std::vector<std::uint8_t> values;
    values.reserve(dataPart.size());
    for (const char c : dataPart) {
        const std::int8_t index = kAlphabetIndex[static_cast<std::size_t>(c)];
        if (index < 0) throw Bech32Error(Bech32Error::InvalidCharacter{});
        values.push_back(static_cast<std::uint8_t>(index));
    }

    const std::optional<Bech32Variant> variant = matchingVariant(hrp, values);
    if (!variant) throw Bech32Error(Bech32Error::ChecksumMismatch{});
    values.resize(values.size() - kChecksumLength);
    return Bech32Decoded{std::move(hrp), std::move(values), *variant};
}

}  // namespace Bech32
}  // namespace corvanta
