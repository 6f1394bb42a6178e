#pragma once

#include <QString>

#include <optional>

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

}  // namespace corvanta
