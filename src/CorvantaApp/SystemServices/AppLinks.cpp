#include "SystemServices/AppLinks.h"

#include "SystemServices/AppInfo.h"

namespace corvanta {

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

}  // namespace corvanta
