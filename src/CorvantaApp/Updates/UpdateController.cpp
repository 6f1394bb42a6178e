#include "Updates/UpdateController.h"

#include <QUrl>

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

}  // namespace corvanta
