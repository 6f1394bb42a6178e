#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QWindow;

namespace corvanta {

// Fits the main window to its mode: floating or not, titled or not, and on a change of mode
// resized to the compact or the full size, kept within the screen and moved back onto it. The
// rules are pure functions over a window's state; a thin adapter applies them to a QWindow.
// Coordinates are the desktop's: y grows downwards, a frame's position is its top-left corner.
struct WindowConfigurator {
    bool compact = false;
    bool floating = false;
    QSizeF compactSize{380, 377};
    QSizeF fullSize{900, 860};
    // The full window's content never gets smaller than its layout.
    QSizeF fullMinimum{820, 560};

    // What the configurator remembers between applications. It belongs to the window, not to
    // one content: the full size saved on entering mini mode must survive the content switch.
    struct Memory {
        std::optional<QSizeF> sizeBeforeCompacting;
        std::optional<bool> wasCompact;
    };

    // The window as the rules see it. `frame` is the outer frame, `contentSize` its content;
    // no `visibleArea` means no screen is known.
    struct Window {
        bool floating = false;
        bool titleHidden = false;
        QSizeF contentSize;
        QRectF frame;
        std::optional<QRectF> visibleArea;
    };

    // What to change; an absent field stays as it is.
    struct Changes {
        std::optional<bool> floating;
        std::optional<bool> titleHidden;
        std::optional<QSizeF> contentSize;
        std::optional<QPointF> position;
        bool operator==(const Changes&) const = default;
    };

    // Level and title on every call; the size and position only on the first call and on a
    // change of mode.
    Changes apply(const Window& window, Memory& memory) const;

    // The content's size limits in this mode, set whenever the window is configured: fixed in
    // mini mode; in full mode at least `fullMinimum` (or as much as the screen shows, when that
    // is less) and free to grow.
    struct Limits {
        QSizeF minimum;
        QSizeF maximum;
        bool operator==(const Limits&) const = default;
    };
    Limits limits(const Window& window) const;

    // Once the window is on screen and its frame (the window manager's decorations) is known:
    // the content no larger than the visible area leaves for it, and the frame moved wholly
    // inside that area. Nothing when it already fits.
    Changes fitOnScreen(const Window& window) const;

    // The position that brings `frame` wholly inside `visibleArea` (or as far as it fits: a frame
    // too wide lands on the left edge, one too tall on the top edge); none when already inside.
    static std::optional<QPointF> moveBackOnScreen(const QRectF& frame, const QRectF& visibleArea);

    // The Qt side. Where the platform lets a window neither place nor raise itself (Wayland),
    // those steps do nothing.
    static Window read(const QWindow& window);
    void applyTo(QWindow& window, Memory& memory, const QString& title) const;
    void fitOnScreen(QWindow& window) const;
};

}  // namespace corvanta
