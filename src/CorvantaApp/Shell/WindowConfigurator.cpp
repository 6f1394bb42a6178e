#include "Shell/WindowConfigurator.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace corvanta {

namespace {

// The frame's decorations take their share of the visible area; no screen known, no bound.
std::optional<QSizeF> largestContent(const WindowConfigurator::Window& window) {
    if (!window.visibleArea) return std::nullopt;
    return window.visibleArea->size() - (window.frame.size() - window.contentSize);
}

// Qt's own bound for a size nobody limits.
constexpr double kUnbounded = 16777215;

}  // namespace

WindowConfigurator::Limits WindowConfigurator::limits(const Window& window) const {
    if (compact) return {compactSize, compactSize};
    const auto largest = largestContent(window);
    return {largest ? fullMinimum.boundedTo(*largest) : fullMinimum,
            QSizeF(kUnbounded, kUnbounded)};
}

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
    if (const auto largest = largestContent(window)) target = target.boundedTo(*largest);
    QRectF frame = window.frame;
    if (std::abs(current.width() - target.width()) > 0.5 ||
        std::abs(current.height() - target.height()) > 0.5) {
        changes.contentSize = target;
        frame.setSize(frame.size() + (target - current));
    }
    if (window.visibleArea) changes.position = moveBackOnScreen(frame, *window.visibleArea);
    return changes;
}

WindowConfigurator::Changes WindowConfigurator::fitOnScreen(const Window& window) const {
    Changes changes;
    const auto largest = largestContent(window);
    if (!largest) return changes;
    QRectF frame = window.frame;
    // The mini dashboard's size is fixed; only the full window gives way to a small screen.
    const QSizeF target = compact ? window.contentSize : window.contentSize.boundedTo(*largest);
    if (std::abs(window.contentSize.width() - target.width()) > 0.5 ||
        std::abs(window.contentSize.height() - target.height()) > 0.5) {
        changes.contentSize = target;
        frame.setSize(frame.size() + (target - window.contentSize));
    }
    changes.position = moveBackOnScreen(frame, *window.visibleArea);
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

// The screen that shows most of `frame`; the window's own one when none shows any of it (a
// position saved on a screen that is gone), else the primary.
const QScreen* screenFor(const QWindow& window, const QRectF& frame) {
    const QScreen* best = nullptr;
    double bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRectF shared = frame.intersected(QRectF(screen->geometry()));
        const double area = shared.width() * shared.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (best != nullptr) return best;
    return window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
}

}  // namespace

WindowConfigurator::Window WindowConfigurator::read(const QWindow& window) {
    Window state;
    state.floating = window.flags().testFlag(Qt::WindowStaysOnTopHint);
    state.titleHidden = window.title().isEmpty();
    state.contentSize = window.size();
    state.frame = window.frameGeometry();
    const QScreen* screen = screenFor(window, state.frame);
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
    // Limits before the resize, so the new size is within them; on every configuration, so a
    // window that opens at its full size is held to its minimum all the same. (The offscreen
    // platform keeps no size limits and says so.)
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        const Limits wanted = limits(state);
        const QSize minimum = wanted.minimum.toSize();
        const QSize maximum = wanted.maximum.toSize();
        if (window.maximumSize() != maximum) window.setMaximumSize(maximum);
        if (window.minimumSize() != minimum) window.setMinimumSize(minimum);
    }
    if (changes.contentSize) window.resize(changes.contentSize->toSize());
    if (changes.position && canPlaceItself()) window.setFramePosition(changes.position->toPoint());
}

void WindowConfigurator::fitOnScreen(QWindow& window) const {
    // A minimized, maximized or full-screen window is the window manager's to place.
    if (!canPlaceItself() || window.windowStates() != Qt::WindowNoState) return;
    const Changes changes = fitOnScreen(read(window));
    if (changes.contentSize) window.resize(changes.contentSize->toSize());
    if (changes.position) window.setFramePosition(changes.position->toPoint());
}

}  // namespace corvanta
