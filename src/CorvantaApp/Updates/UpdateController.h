#pragma once

#include <QString>

#include <optional>

#include "Updates/UpdateCheck.h"

namespace corvanta {

// In-app update checks: on only when the build sets a feed and a key ("SUFeedURL",
// "SUPublicEDKey" in the build's information table). The check itself is UpdateCheck; the tray
// item runs it through UpdateNotifier.
class UpdateController {
  public:
    // Reads "SUPublicEDKey" and "SUFeedURL" from the build's information table.
    UpdateController();
    UpdateController(const std::optional<QString>& publicKey,
                     const std::optional<QString>& feedURL);

    bool isConfigured() const { return isConfigured_; }
    // Empty when not configured.
    QString feedURL() const { return isConfigured_ ? feedURL_ : QString(); }
    QString publicKey() const { return isConfigured_ ? publicKey_ : QString(); }
    // The check of this build's feed with its key, for the running version
    // ("CFBundleShortVersionString") on this system (its release's VERSION_ID).
    UpdateCheck::Settings checkSettings() const;

    // $CORVANTA_UPDATE_CA_FILE when the feed is on a loopback address (a local feed with a
    // certificate of its own); empty otherwise: the system's certificates.
    static QString loopbackAuthorityFile(const QString& feedURL);
    // A real key (not empty, not the placeholder) and a feed address whose scheme is exactly
    // "https".
    static bool isConfigured(const std::optional<QString>& publicKey,
                             const std::optional<QString>& feedURL);

  private:
    bool isConfigured_;
    QString publicKey_;
    QString feedURL_;
};

}  // namespace corvanta
