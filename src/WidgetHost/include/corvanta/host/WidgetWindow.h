#pragma once

#include <QQuickView>
#include <QTimer>
#include <QVariantMap>

#include "corvanta/widgetkit/Timeline.h"

namespace corvanta::host {

// One widget's window: the host's frame around the plug-in's view, at the family's size.
class WidgetWindow : public QQuickView {
    Q_OBJECT

  public:
    enum class Placement {
        // Frameless, below other windows, out of the task bar, draggable.
        desktop,
        // A plain window, for rendering to an image.
        offscreen,
    };

    WidgetWindow(const QUrl& viewSource, widgetkit::WidgetFamily family, Placement placement);

    void setContent(const QVariantMap& content);
    // Sends `moved` now for a move that has not settled yet (the host is about to end).
    void settleNow();
    // The plug-in's view when it loaded, else null.
    QQuickItem* viewItem() const;
    // The frame's and the view's QML errors, empty when both loaded.
    QString loadErrors() const;

  signals:
    // The user has moved the window; sent once the move has settled.
    void moved(QPoint position);
    // The user asked for the widget's context menu (right button) at this point of the screen.
    void contextMenuRequested(QPoint globalPosition);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void positionChanged();

    bool draggable_ = false;
    // Set while the window follows the pointer itself (no window manager took the move over).
    std::optional<QPointF> dragOffset_;
    QPoint settled_;
    QTimer settle_;
};

}  // namespace corvanta::host
