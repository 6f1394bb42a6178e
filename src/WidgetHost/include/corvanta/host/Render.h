#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {

struct RenderRequest {
    QString kind;
    widgetkit::WidgetFamily family = widgetkit::WidgetFamily::systemSmall;
    // The snapshot entry of a preview instead of the timeline's first entry.
    bool preview = false;
    QString outFile;
};

// Renders one entry of a widget to a PNG file, off screen. The error's text, or none.
std::optional<QString> renderToFile(const std::vector<LoadedWidget>& widgets,
                                    const RenderRequest& request);

}  // namespace corvanta::host
