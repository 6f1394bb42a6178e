#include "Updates/UpdateController.h"

#include <QSysInfo>
#include <QUrl>

#include "SystemServices/AppInfo.h"

namespace corvanta {

UpdateController::UpdateController()
    : UpdateController(infoValue(QStringLiteral("SUPublicEDKey")),
                       infoValue(QStringLiteral("SUFeedURL"))) {}

UpdateController::UpdateController(const std::optional<QString>& publicKey,
                                   const std::optional<QString>& feedURL)
    : isConfigured_(isConfigured(publicKey, feedURL)),
      publicKey_(publicKey.value_or(QString())),
      feedURL_(feedURL.value_or(QString())) {}

UpdateCheck::Settings UpdateController::checkSettings() const {
    UpdateCheck::Settings settings;
    settings.feedURL = feedURL();
    settings.publicKey = publicKey();
    settings.runningVersion =
        infoValue(QStringLiteral("CFBundleShortVersionString")).value_or(QString());
    settings.systemVersion = QSysInfo::productVersion();
    settings.certificateAuthorityFile = loopbackAuthorityFile(settings.feedURL);
    return settings;
}

QString UpdateController::loopbackAuthorityFile(const QString& feedURL) {
    // A feed served from this very machine (a release being tried before it ships) may be signed
    // by a certificate of its own; a feed anywhere else is only ever checked against the system's.
    const QString file = qEnvironmentVariable("CORVANTA_UPDATE_CA_FILE");
    if (file.isEmpty()) return {};
    const QString host = QUrl(feedURL).host();
    // 127.0.0.0/8 written as four numbers; a name that merely begins with "127." is elsewhere.
    const QStringList parts = host.split(u'.');
    bool numeric = parts.size() == 4 && parts.constFirst() == QLatin1String("127");
    for (const QString& part : parts) {
        bool ok = false;
        numeric = numeric && part.toUInt(&ok) <= 255 && ok;
    }
    const bool loopback =
        numeric || host == QLatin1String("localhost") || host == QLatin1String("::1");
    return loopback ? file : QString();
}

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
