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

// The widgets of every plug-in in `folder`, in file-name order. A file whose metadata names
// another IID is skipped without being loaded; one that fails to load, a second widget of a kind
// already seen and a widget without a provider or family are skipped too, each with a log line.
// Plug-ins are never unloaded.
std::vector<LoadedWidget> loadWidgets(const QString& folder, const widgetkit::Clock& clock);

}  // namespace corvanta::host
