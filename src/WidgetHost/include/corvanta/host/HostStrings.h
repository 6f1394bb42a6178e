#pragma once

#include <QString>

#include "corvanta/widgetkit/Language.h"
#include "corvanta/widgetkit/Timeline.h"

namespace corvanta::host {

// The host's own texts (gallery and context menu) from its string table: the French key in
// `language`, or the key itself when the table has no row for it.
QString hostText(const QString& key, widgetkit::Language language);

// "Petit" / "Moyen" in `language`.
QString familyLabel(widgetkit::WidgetFamily family, widgetkit::Language language);

}  // namespace corvanta::host
