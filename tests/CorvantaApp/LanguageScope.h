#pragma once

#include "Localization/Localization.h"

namespace corvanta::testing {

// Sets the application's language for one scope and puts the previous one back.
class LanguageScope {
  public:
    explicit LanguageScope(AppLanguage language) : previous_(Localization::shared().language()) {
        Localization::shared().setLanguage(language);
    }
    ~LanguageScope() { Localization::shared().setLanguage(previous_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

  private:
    AppLanguage previous_;
};

}  // namespace corvanta::testing
