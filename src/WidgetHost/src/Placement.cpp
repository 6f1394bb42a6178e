#include "corvanta/host/Placement.h"

#include <algorithm>
#include <cstdint>

namespace corvanta::host {

bool isFree(const QRect& place, const std::vector<QRect>& others) {
    return std::none_of(others.begin(), others.end(), [&](const QRect& other) {
        return other.adjusted(-widgetGap, -widgetGap, widgetGap, widgetGap).intersects(place);
    });
}

std::optional<QPoint> nearestFreeSpot(QPoint wanted, QSize size, const QRect& area,
                                      const std::vector<QRect>& others) {
    if (size.width() > area.width() || size.height() > area.height()) return std::nullopt;
    const int left = area.left(), top = area.top();
    const int right = area.left() + area.width() - size.width();
    const int bottom = area.top() + area.height() - size.height();
    const auto clampX = [&](int x) { return std::clamp(x, left, right); };
    const auto clampY = [&](int y) { return std::clamp(y, top, bottom); };

    // Where a free place nearest to any point must touch something: the wanted point itself, an
    // edge of the area, or the gap beside a neighbour.
    std::vector<int> xs{clampX(wanted.x()), left, right};
    std::vector<int> ys{clampY(wanted.y()), top, bottom};
    for (const QRect& other : others) {
        xs.push_back(clampX(other.left() - widgetGap - size.width()));
        xs.push_back(clampX(other.left() + other.width() + widgetGap));
        ys.push_back(clampY(other.top() - widgetGap - size.height()));
        ys.push_back(clampY(other.top() + other.height() + widgetGap));
    }
    const auto distance = [&](QPoint at) {
        const std::int64_t dx = at.x() - wanted.x(), dy = at.y() - wanted.y();
        return dx * dx + dy * dy;
    };
    std::optional<QPoint> best;
    const auto consider = [&](QPoint at) {
        if (best && distance(at) >= distance(*best)) return;
        if (isFree(QRect(at, size), others)) best = at;
    };
    for (const int x : xs) {
        for (const int y : ys) consider({x, y});
    }
    if (best) return best;
    // Crowded: a place between neighbours that no edge lines up with.
    constexpr int step = 8;
    for (int y = top; y <= bottom; y += step) {
        for (int x = left; x <= right; x += step) consider({x, y});
    }
    return best;
}

}  // namespace corvanta::host
