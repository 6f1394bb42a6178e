#include "SystemServices/PayoutResolution.h"

#include "corvanta/address/PayoutAddress.h"
#include "Localization/Localization.h"

namespace corvanta {
namespace {

BitcoinNetworkPrefix prefixOf(BitcoinNetwork network) {
    switch (network) {
        case BitcoinNetwork::mainnet:
            return BitcoinNetworkPrefix::mainnet;
        case BitcoinNetwork::testnet4:
            return BitcoinNetworkPrefix::testnet;
        case BitcoinNetwork::signet:
            return BitcoinNetworkPrefix::signet;
        case BitcoinNetwork::regtest:
            return BitcoinNetworkPrefix::regtest;
    }
    return BitcoinNetworkPrefix::mainnet;
}

QString networkName(BitcoinNetwork network) {
    return QString::fromUtf8(rawValue(network));
}

QString describe(const PayoutResolutionError::Kind& kind) {
    if (const auto* invalid = std::get_if<PayoutResolutionError::InvalidAddress>(&kind)) {
        return QStringLiteral("Adresse de paiement invalide : ") + invalid->reason;
    }
    return QStringLiteral("Adresse de paiement obligatoire sur ") +
           networkName(std::get<PayoutResolutionError::AddressRequired>(kind).network) +
           QStringLiteral(" — pas de valeur par défaut.");
}

}  // namespace

PayoutResolutionError::PayoutResolutionError(Kind kind)
    : std::runtime_error(describe(kind).toStdString()), kind_(std::move(kind)) {}

QString PayoutResolutionError::description() const {
    return describe(kind_);
}

QString PayoutResolutionError::localizedMessage() const {
    if (const auto* invalid = std::get_if<InvalidAddress>(&kind_)) {
        return L("Adresse de paiement invalide : %@", invalid->reason);
    }
    return L("Adresse de paiement obligatoire sur %@ — pas de valeur par défaut.",
             networkName(std::get<AddressRequired>(kind_).network));
}

std::variant<PayoutResolution, PayoutResolutionError> resolvePayout(BitcoinNetwork network,
                                                                    const QString& addressInput) {
    const QString trimmed = addressInput.trimmed();
    if (!trimmed.isEmpty()) {
        try {
            const PayoutAddress address(trimmed.toStdString(), prefixOf(network));
            return PayoutResolution{address.scriptPubKey(), trimmed, false};
        } catch (const PayoutAddressError& error) {
            return PayoutResolutionError(
                PayoutResolutionError::InvalidAddress{QString::fromStdString(error.description())});
        }
    }
    if (network == BitcoinNetwork::regtest) {
        return PayoutResolution{
            {0x51},
            QStringLiteral("OP_TRUE (regtest, aucune adresse — dépensable par n'importe qui)"),
            true};
    }
    return PayoutResolutionError(PayoutResolutionError::AddressRequired{network});
}

}  // namespace corvanta
