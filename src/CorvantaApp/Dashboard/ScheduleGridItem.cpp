#include "Dashboard/ScheduleGridItem.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "Dashboard/DashboardRules.h"

namespace corvanta {

ScheduleGridItem::ScheduleGridItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &ScheduleGridItem::appearanceChanged, this, [this] { update(); });
}

QColor ScheduleGridItem::colour(const QString& mode) const {
    if (mode == QLatin1String("smart")) return smart_;
    if (mode == QLatin1String("max")) return max_;
    if (mode == QLatin1String("balanced")) return balanced_;
    if (mode == QLatin1String("eco")) return eco_;
    return off_;
}

void ScheduleGridItem::paint(QPainter* painter) {
    const double w = width();
    const double pitch = rowHeight_ + rowSpacing_;
    const double gridHeight = 5 * rowHeight_ + 4 * rowSpacing_;
    if (w <= 0 || pitch <= 0) return;
    const double columnWidth = w / DashboardRules::kSlots;
    const auto& rows = DashboardRules::gridRows();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    for (int r = 0; r < rows.size(); ++r) {
        const QColor set = colour(rows[r]);
        for (int s = 0; s < DashboardRules::kSlots; ++s) {
            const QRectF cell(columnWidth * s + 0.5, r * pitch, std::max(columnWidth - 1, 1.0),
                              rowHeight_);
            painter->setBrush(schedule_.value(s) == rows[r] ? set : empty_);
            painter->drawRoundedRect(cell, 1.5, 1.5);
        }
    }
    for (int h = 1; h < 24; ++h) {
        QColor line = hour_;
        line.setAlphaF(line.alphaF() * (h % 2 == 0 ? 0.35 : 0.16));
        painter->setPen(QPen(line, 1));
        const double x = w * h / 24;
        painter->drawLine(QPointF(x, -1), QPointF(x, gridHeight + 1));
    }
    const int slot = std::clamp(currentSlot_, 0, DashboardRules::kSlots - 1);
    const double x = columnWidth * (slot + 0.5);
    QColor marker = marker_;
    marker.setAlphaF(marker.alphaF() * 0.55);
    painter->setPen(QPen(marker, 1.5));
    painter->drawLine(QPointF(x, -2), QPointF(x, gridHeight + 2));
}

}  // namespace corvanta
