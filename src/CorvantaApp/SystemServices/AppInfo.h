#pragma once

#include <QString>

#include <optional>

namespace corvanta {

// The build-time information table, in place of a bundle's information dictionary. Keys:
// "CFBundleShortVersionString" (the app version), "CFBundleVersion" (the build number),
// "CRVUsageEndpoint" (where the usage pulse goes), "SUFeedURL", "SUPublicEDKey", "CRVSiteHost",
// "CRVReviewHost". A key the build left empty is absent.
std::optional<QString> infoValue(const QString& key);

}  // namespace corvanta
