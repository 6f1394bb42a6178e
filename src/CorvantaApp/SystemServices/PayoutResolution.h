#pragma once

#include <QString>

#include <cstdint>
#include <stdexcept>
#include <variant>
#include <vector>

#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

// What the miner pays: the output script, the text shown for it, and whether it is the regtest
// anyone-can-spend fallback.
struct PayoutResolution {
    std::vector<std::uint8_t> script;
    QString display;
    bool isUnsafeOpTrue = false;
    bool operator==(const PayoutResolution&) const = default;
};

// Why the typed payout cannot be used. what() and description() are the French text.
class PayoutResolutionError : public std::runtime_error {
  public:
    struct InvalidAddress {
        QString
            reason;  // the address parser's case, e.g. wrongNetwork(expected: "bc", found: "tb")
        bool operator==(const InvalidAddress&) const = default;
    };
    struct AddressRequired {
        BitcoinNetwork network;
        bool operator==(const AddressRequired&) const = default;
    };
    using Kind = std::variant<InvalidAddress, AddressRequired>;

    explicit PayoutResolutionError(Kind kind);
    const Kind& kind() const { return kind_; }
    QString description() const;
    QString localizedMessage() const;
    bool operator==(const PayoutResolutionError& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

// The typed payout text, trimmed of blanks and line breaks, as a segwit address of `network`;
// an empty text pays OP_TRUE on regtest and is refused elsewhere. Never throws.
std::variant<PayoutResolution, PayoutResolutionError> resolvePayout(BitcoinNetwork network,
                                                                    const QString& addressInput);

}  // namespace corvanta
