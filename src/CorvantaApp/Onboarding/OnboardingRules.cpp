#include "Onboarding/OnboardingRules.h"

#include <variant>

#include "Localization/Localization.h"
#include "Onboarding/PathLines.h"
#include "SystemServices/LaunchAtLogin.h"
#include "SystemServices/PayoutResolution.h"
#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

namespace {

const QString marker = QStringLiteral("**");

BitcoinNetwork networkNamed(const QString& name) {
    // The session only ever holds one of the four names; mainnet is its own default.
    return bitcoinNetwork(name.toStdString()).value_or(BitcoinNetwork::mainnet);
}

}  // namespace

std::vector<TextSegment> accentSegments(const QString& text) {
    std::vector<TextSegment> segments;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(marker, from);
        const bool accented = segments.size() % 2 == 1;
        if (at < 0) {
            segments.push_back({text.mid(from), accented});
            return segments;
        }
        segments.push_back({text.mid(from, at - from), accented});
        from = at + marker.size();
    }
}

AddressState addressState(const QString& network, const QString& addressInput) {
    const QString trimmed = addressInput.trimmed();
    const BitcoinNetwork net = networkNamed(network);
    if (trimmed.isEmpty()) {
        if (net == BitcoinNetwork::regtest) {
            return {false, L(QStringLiteral("Vide toléré en regtest.")),
                    QStringLiteral("warningText")};
        }
        return {false,
                L(QStringLiteral("Une adresse commençant par bc1. Les adresses en 1… ou 3… ne "
                                 "sont pas acceptées.")),
                QStringLiteral("dangerText")};
    }
    const auto resolved = resolvePayout(net, trimmed);
    if (const auto* error = std::get_if<PayoutResolutionError>(&resolved)) {
        return {false, error->localizedMessage(), QStringLiteral("dangerText")};
    }
    // The anyone-can-spend fallback never counts as a chosen address.
    return {!std::get<PayoutResolution>(resolved).isUnsafeOpTrue,
            L(QStringLiteral("Adresse valide.")), QStringLiteral("successText")};
}

bool canAdvance(int step, const QString& network, const QString& addressInput) {
    constexpr int addressStep = 1;
    if (step != addressStep) return true;
    const QString trimmed = addressInput.trimmed();
    const BitcoinNetwork net = networkNamed(network);
    if (trimmed.isEmpty()) return net == BitcoinNetwork::regtest;
    return std::holds_alternative<PayoutResolution>(resolvePayout(net, trimmed));
}

OnboardingRules::OnboardingRules(QObject* parent) : QObject(parent) {
    connect(&Localization::shared(), &Localization::languageChanged, this,
            &OnboardingRules::languageChanged);
}

QVariantList OnboardingRules::accentSegments(const QString& text) const {
    QVariantList list;
    for (const auto& segment : corvanta::accentSegments(text)) {
        list.append(QVariantMap{{QStringLiteral("text"), segment.text},
                                {QStringLiteral("accented"), segment.accented}});
    }
    return list;
}

QVariantMap OnboardingRules::addressState(const QString& network, const QString& input) const {
    const auto state = corvanta::addressState(network, input);
    return {{QStringLiteral("isValid"), state.isValid},
            {QStringLiteral("hint"), state.hint},
            {QStringLiteral("colorRole"), state.colorRole}};
}

bool OnboardingRules::canAdvance(int step, const QString& network, const QString& input) const {
    return corvanta::canAdvance(step, network, input);
}

QString OnboardingRules::supportDirectory() const {
    return QString::fromStdString(BinaryLocator::applicationSupportDirectory().string());
}

QStringList OnboardingRules::pathLines(const QString& path, const QFont& font, qreal width) const {
    return corvanta::pathLines(path, width,
                               [&font](const QString& text) { return textAdvance(text, font); });
}

QString OnboardingRules::pathBetween(const QStringList& lines, int from, int to) const {
    return corvanta::pathBetween(lines, from, to);
}

bool OnboardingRules::setLaunchAtLogin(bool enabled) const {
    return LaunchAtLogin().setEnabled(enabled);
}

bool OnboardingRules::launchAtLoginEnabled() const {
    return LaunchAtLogin().isEnabled();
}

}  // namespace corvanta
