#pragma once

#include <QQuickView>
#include <QVariantList>
#include <vector>

#include "corvanta/host/PluginFolder.h"
#include "corvanta/widgetkit/Language.h"

namespace corvanta::host {

// One row per widget the plug-ins offer, in their order: "kind", "name" and "description" (from
// the plug-in's string table), "sizesText", and "sizes", one map per family the widget declares
// with "family" ("small", "medium"), "label", "width", "height", "viewSource" and "content", the
// view's content for the plug-in's preview entry in that size.
QVariantList galleryRows(const std::vector<LoadedWidget>& widgets, widgetkit::Language language);

// The window in which the user picks a widget and a size to place on the desktop.
class GalleryWindow : public QQuickView {
    Q_OBJECT

  public:
    explicit GalleryWindow(widgetkit::Language language);

    // Shows the rows of `widgets`, their previews read now.
    void setWidgets(const std::vector<LoadedWidget>& widgets);
    // With the desktop full, the choices are disabled and the gallery says why.
    void setFull(bool full, int limit);

  signals:
    void chosen(const QString& kind, widgetkit::WidgetFamily family);

  private slots:
    void choose(const QString& kind, const QString& family);

  private:
    widgetkit::Language language_;
};

}  // namespace corvanta::host
