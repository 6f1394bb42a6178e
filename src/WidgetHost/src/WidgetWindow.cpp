#include "corvanta/host/WidgetWindow.h"

#include <QMouseEvent>
#include <QQmlComponent>
#include <QQuickItem>

#include "corvanta/host/TaskListState.h"

namespace corvanta::host {

WidgetWindow::WidgetWindow(const QUrl& viewSource, widgetkit::WidgetFamily family,
                           Placement placement)
    : draggable_(placement == Placement::desktop) {
    if (draggable_) {
        setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::Tool);
    } else {
        setFlags(Qt::FramelessWindowHint);
    }
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    resize(widgetkit::familySize(family).toSize());
    setInitialProperties({{QStringLiteral("viewSource"), viewSource}});
    setSource(QUrl(QStringLiteral("qrc:/corvanta/host/WidgetFrame.qml")));
    if (draggable_) keepOffTaskList(*this);

    settle_.setSingleShot(true);
    settle_.setInterval(400);
    connect(&settle_, &QTimer::timeout, this, &WidgetWindow::settleNow);
    connect(this, &QWindow::xChanged, this, &WidgetWindow::positionChanged);
    connect(this, &QWindow::yChanged, this, &WidgetWindow::positionChanged);
}

void WidgetWindow::positionChanged() {
    // The first placement is the host's own, not a move.
    if (!isVisible()) settled_ = position();
    if (draggable_ && isVisible()) settle_.start();
}

void WidgetWindow::settleNow() {
    settle_.stop();
    if (position() == settled_) return;
    settled_ = position();
    emit moved(settled_);
}

void WidgetWindow::setContent(const QVariantMap& content) {
    if (QQuickItem* frame = rootObject()) frame->setProperty("content", content);
}

QQuickItem* WidgetWindow::viewItem() const {
    QQuickItem* frame = rootObject();
    if (frame == nullptr) return nullptr;
    for (QQuickItem* child : frame->childItems()) {
        if (child->inherits("QQuickLoader")) return child->property("item").value<QQuickItem*>();
    }
    return nullptr;
}

QString WidgetWindow::loadErrors() const {
    QStringList texts;
    for (const auto& error : errors()) texts << error.toString();
    QQuickItem* frame = rootObject();
    if (frame != nullptr && viewItem() == nullptr) {
        texts << QStringLiteral("the widget's view %1 did not load")
                     .arg(frame->property("viewSource").toUrl().toString());
    }
    return texts.join(QLatin1Char('\n'));
}

void WidgetWindow::mousePressEvent(QMouseEvent* event) {
    if (draggable_ && event->button() == Qt::RightButton) {
        event->accept();
        emit contextMenuRequested(event->globalPosition().toPoint());
        return;
    }
    if (draggable_ && event->button() == Qt::LeftButton) {
        // The window manager moves the window when it can; otherwise it follows the pointer.
        if (!startSystemMove()) dragOffset_ = event->globalPosition() - QPointF(position());
        event->accept();
        return;
    }
    QQuickView::mousePressEvent(event);
}

void WidgetWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_) {
        setPosition((event->globalPosition() - *dragOffset_).toPoint());
        event->accept();
        return;
    }
    QQuickView::mouseMoveEvent(event);
}

void WidgetWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (dragOffset_) {
        dragOffset_.reset();
        event->accept();
        return;
    }
    QQuickView::mouseReleaseEvent(event);
}

}  // namespace corvanta::host
