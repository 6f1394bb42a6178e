#pragma once

#include <QLoggingCategory>
#include <QString>
#include <vector>

#include "corvanta/widgetkit/WidgetBundle.h"

namespace corvanta::host {

Q_DECLARE_LOGGING_CATEGORY(hostLog)

struct LoadedWidget {
    widgetkit::WidgetConfiguration configuration;
    const widgetkit::WidgetBundle* bundle = nullptr;
};

// $CORVANTA_WIDGET_PLUGINS when set, else the "lib/corvanta/widgets" folder beside the program's.
QString pluginFolder();

// The widgets of every plug-in in `folder`, in file-name order. A file is checked by its metadata
// before it is loaded: one that names another IID, lists no kinds ("kinds" in its plugin.json),
// or lists a kind an earlier file offers (a second copy of a plug-in) is skipped unloaded. One
// that fails to load, and a widget its metadata does not list, a second widget of one kind or one
// without a provider or family, are skipped too. Each skip has one log line. Plug-ins are never
// unloaded.
std::vector<LoadedWidget> loadWidgets(const QString& folder, const widgetkit::Clock& clock);

}  // namespace corvanta::host
