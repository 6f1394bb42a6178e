#include "Updates/UpdateController.h"

#include "SystemServices/AppInfo.h"

namespace corvanta {

UpdateController::UpdateController()
    : UpdateController(infoValue(QStringLiteral("SUPublicEDKey")),
                       infoValue(QStringLiteral("SUFeedURL"))) {}

UpdateController::UpdateController(const std::optional<QString>& publicKey,
                                   const std::optional<QString>& feedURL)
    : isConfigured_(isConfigured(publicKey, feedURL)) {}

bool UpdateController::isConfigured(const std::optional<QString>& publicKey,
                                    const std::optional<QString>& feedURL) {
    if (!publicKey || publicKey->isEmpty()) return false;
    if (*publicKey == QLatin1String("REMPLACER-PAR-LA-CLE-PUBLIQUE-EDDSA")) return false;
    if (!feedURL) return false;
    const QUrl url(*feedURL, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return false;
    // QUrl lower-cases the scheme it reports; the rule wants it written in lower case.
    return feedURL->section(u':', 0, 0) == QLatin1String("https");
}

namespace AppLinks {
namespace {
QString host(const char* key, const char* fallback) {
    return infoValue(QString::fromLatin1(key)).value_or(QString::fromLatin1(fallback));
}
}  // namespace

QUrl site() {
    return QUrl(QStringLiteral("https://") + host("CRVSiteHost", "corvanta.example"));
}

QUrl support() {
    return QUrl(QStringLiteral("https://") + host("CRVSiteHost", "corvanta.example") +
                QStringLiteral("/support.html"));
}

QUrl review() {
    return QUrl(QStringLiteral("https://") + host("CRVReviewHost", "reviews.example") +
                QStringLiteral("/evaluate/") + host("CRVSiteHost", "corvanta.example"));
}

}  // namespace AppLinks

bool MenuBarPreferences::showInMenuBar(const Preferences& preferences) {
    return preferences.boolean(QStringLiteral("rigwell.showInMenuBar")).value_or(true);
}

}  // namespace corvanta
