#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

namespace corvanta::host {

// Space kept between two widgets, and between a widget and the screen's edge on a free search.
inline constexpr int widgetGap = 16;

// Whether `place` keeps `widgetGap` away from every one of `others`.
bool isFree(const QRect& place, const std::vector<QRect>& others);

// The free place for a widget of `size` nearest to `wanted` (its top left) inside `area`, clear of
// `others` by the gap: `wanted` itself when it is free and inside, else the closest spot beside a
// neighbour or an edge, else the closest on a fine grid. None when the area has no room at all.
std::optional<QPoint> nearestFreeSpot(QPoint wanted, QSize size, const QRect& area,
                                      const std::vector<QRect>& others);

}  // namespace corvanta::host
