#pragma once

#include <QtQml/qqmlregistration.h>

#include <QColor>
#include <QQuickPaintedItem>
#include <QStringList>

namespace corvanta {

// The day schedule's 5 × 144 cells, hour lines and current-slot marker, painted in one pass
// (720 scene items would cost more than the whole dashboard). Pointer handling lives in QML.
class ScheduleGridItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QStringList schedule MEMBER schedule_ NOTIFY appearanceChanged)
    Q_PROPERTY(int currentSlot MEMBER currentSlot_ NOTIFY appearanceChanged)
    Q_PROPERTY(double rowHeight MEMBER rowHeight_ NOTIFY appearanceChanged)
    Q_PROPERTY(double rowSpacing MEMBER rowSpacing_ NOTIFY appearanceChanged)
    // Colours of the modes, of an unset cell, of the hour lines and of the marker.
    Q_PROPERTY(QColor smartColor MEMBER smart_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor maxColor MEMBER max_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor balancedColor MEMBER balanced_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor ecoColor MEMBER eco_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor offColor MEMBER off_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor emptyColor MEMBER empty_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor hourColor MEMBER hour_ NOTIFY appearanceChanged)
    Q_PROPERTY(QColor markerColor MEMBER marker_ NOTIFY appearanceChanged)

  public:
    explicit ScheduleGridItem(QQuickItem* parent = nullptr);
    void paint(QPainter* painter) override;

  signals:
    void appearanceChanged();

  private:
    QColor colour(const QString& mode) const;

    QStringList schedule_;
    int currentSlot_ = 0;
    double rowHeight_ = 17;
    double rowSpacing_ = 3;
    QColor smart_, max_, balanced_, eco_, off_, empty_, hour_, marker_;
};

}  // namespace corvanta
