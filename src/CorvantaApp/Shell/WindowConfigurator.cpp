#include "Shell/WindowConfigurator.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace corvanta {

WindowConfigurator::Changes WindowConfigurator::apply(const Window& window, Memory& memory) const {
    Changes changes;
    if (window.floating != floating) changes.floating = floating;
    if (window.titleHidden != compact) changes.titleHidden = compact;

    const std::optional<bool> previous = memory.wasCompact;
    memory.wasCompact = compact;
    if (previous == compact) return changes;

    const QSizeF current = window.contentSize;
    QSizeF target;
    if (compact) {
        target = compactSize;
        if (compactSize.width() + 1 < current.width()) memory.sizeBeforeCompacting = current;
    } else {
        const QSizeF saved = memory.sizeBeforeCompacting.value_or(QSizeF(0, 0));
        memory.sizeBeforeCompacting.reset();
        target = QSizeF(std::max(saved.width(), fullSize.width()),
                        std::max(saved.height(), fullSize.height()));
    }
    if (window.visibleArea) {
        // The frame's decorations take their share of the visible area.
        const QSizeF decorations = window.frame.size() - current;
        const QSizeF largest = window.visibleArea->size() - decorations;
        target = QSizeF(std::min(target.width(), largest.width()),
                        std::min(target.height(), largest.height()));
    }
    QRectF frame = window.frame;
    if (std::abs(current.width() - target.width()) > 0.5 ||
        std::abs(current.height() - target.height()) > 0.5) {
        changes.contentSize = target;
        frame.setSize(frame.size() + (target - current));
    }
    if (window.visibleArea) changes.position = moveBackOnScreen(frame, *window.visibleArea);
    return changes;
}

std::optional<QPointF> WindowConfigurator::moveBackOnScreen(const QRectF& frame,
                                                            const QRectF& visibleArea) {
    if (visibleArea.contains(frame)) return std::nullopt;
    const auto axis = [](double position, double length, double areaStart, double areaLength) {
        return std::min(std::max(position, areaStart),
                        std::max(areaStart + areaLength - length, areaStart));
    };
    return QPointF(axis(frame.x(), frame.width(), visibleArea.x(), visibleArea.width()),
                   axis(frame.y(), frame.height(), visibleArea.y(), visibleArea.height()));
}

namespace {

bool canPlaceItself() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

WindowConfigurator::Window WindowConfigurator::read(const QWindow& window) {
    Window state;
    state.floating = window.flags().testFlag(Qt::WindowStaysOnTopHint);
    state.titleHidden = window.title().isEmpty();
    state.contentSize = window.size();
    state.frame = window.frameGeometry();
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr && canPlaceItself()) state.visibleArea = screen->availableGeometry();
    return state;
}

void WindowConfigurator::applyTo(QWindow& window, Memory& memory, const QString& title) const {
    Window state = read(window);
    // The title is ours to set: an empty one means compact.
    state.titleHidden = window.title() != title;
    const Changes changes = apply(state, memory);
    if (changes.floating && canPlaceItself()) {
        window.setFlag(Qt::WindowStaysOnTopHint, *changes.floating);
    }
    if (changes.titleHidden) window.setTitle(*changes.titleHidden ? QString() : title);
    if (changes.contentSize) {
        const QSize size = changes.contentSize->toSize();
        // Mini mode is fixed; the full window may grow from its minimum. (The offscreen platform
        // keeps no size limits and says so.)
        if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        } else if (compact) {
            window.setMinimumSize(size);
            window.setMaximumSize(size);
        } else {
            window.setMinimumSize(QSize(820, 560).boundedTo(size));
            window.setMaximumSize(QSize(16777215, 16777215));
        }
        window.resize(size);
    }
    if (changes.position && canPlaceItself()) window.setFramePosition(changes.position->toPoint());
}

}  // namespace corvanta
