#pragma once

#include <QString>
#include <QUrl>

#include <optional>

#include "SystemServices/Preferences.h"

namespace corvanta {

// In-app updates. Linux builds have none (updates come with the package): the rule below is kept
// so a build that sets a feed and a key is recognised, and nothing else happens.
class UpdateController {
  public:
    // Reads "SUPublicEDKey" and "SUFeedURL" from the build's information table.
    UpdateController();
    UpdateController(const std::optional<QString>& publicKey,
                     const std::optional<QString>& feedURL);

    bool isConfigured() const { return isConfigured_; }

    // A real key (not empty, not the placeholder) and a feed address whose scheme is exactly
    // "https".
    static bool isConfigured(const std::optional<QString>& publicKey,
                             const std::optional<QString>& feedURL);

  private:
    bool isConfigured_;
};

// The links the interface opens. The hosts come from the build's information table.
namespace AppLinks {
QUrl site();
QUrl support();
QUrl review();
}  // namespace AppLinks

namespace MenuBarPreferences {
// "rigwell.showInMenuBar" when it holds a Boolean, else true.
bool showInMenuBar(const Preferences& preferences);
}  // namespace MenuBarPreferences

}  // namespace corvanta
