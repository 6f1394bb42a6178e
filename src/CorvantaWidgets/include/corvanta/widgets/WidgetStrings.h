#pragma once

#include <QString>

#include "corvanta/widgetkit/Language.h"

namespace corvanta::widgets {

using widgetkit::Language;
using widgetkit::resolveLanguage;
using widgetkit::systemLanguage;

// The key in `language` from the widgets' own table, or the key itself when the table has no
// entry for it.
QString localizedString(const QString& key, Language language);

}  // namespace corvanta::widgets
