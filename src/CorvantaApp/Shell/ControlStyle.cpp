#include "Shell/ControlStyle.h"

#include <QGuiApplication>
#include <QQuickStyle>
#include <QQuickWindow>

#include <utility>

#include "Shell/Theme.h"

namespace corvanta {
namespace {

// `top` laid over `bottom`: the style blends some of its colours itself, so it gets opaque ones.
QColor over(const QColor& top, const QColor& bottom) {
    const float a = top.alphaF();
    const auto channel = [a](float t, float b) { return t * a + b * (1 - a); };
    return QColor::fromRgbF(channel(top.redF(), bottom.redF()),
                            channel(top.greenF(), bottom.greenF()),
                            channel(top.blueF(), bottom.blueF()));
}

// The palette's roles the style reads, by the names QML gives them.
constexpr std::pair<QPalette::ColorRole, const char*> kRoleNames[] = {
    {QPalette::Window, "window"},
    {QPalette::WindowText, "windowText"},
    {QPalette::Base, "base"},
    {QPalette::AlternateBase, "alternateBase"},
    {QPalette::Text, "text"},
    {QPalette::PlaceholderText, "placeholderText"},
    {QPalette::Button, "button"},
    {QPalette::ButtonText, "buttonText"},
    {QPalette::BrightText, "brightText"},
    {QPalette::Dark, "dark"},
    {QPalette::Highlight, "highlight"},
    {QPalette::HighlightedText, "highlightedText"},
    {QPalette::Link, "link"},
    {QPalette::LinkVisited, "linkVisited"},
    {QPalette::Mid, "mid"},
    {QPalette::Midlight, "midlight"},
    {QPalette::Light, "light"},
    {QPalette::Shadow, "shadow"},
    {QPalette::ToolTipBase, "toolTipBase"},
    {QPalette::ToolTipText, "toolTipText"},
};

QColor withAlpha(QColor color, float alpha) {
    color.setAlphaF(alpha);
    return color;
}

}  // namespace

void useControlStyle() {
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

QPalette controlPalette(const Theme& theme) {
    const QColor card = over(theme.cardBackground(), theme.background());
    // A violet tint over the card: resting buttons and the line a pointer is on.
    const QColor tint = over(theme.surfaceViolet(), card);
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor& color) {
        palette.setColor(role, color);
    };
    set(QPalette::Window, card);
    set(QPalette::WindowText, theme.textPrimary());
    set(QPalette::Base, card);
    set(QPalette::AlternateBase, over(theme.sidebarBackground(), card));
    set(QPalette::Text, theme.textPrimary());
    set(QPalette::PlaceholderText, theme.textSecondary());
    set(QPalette::Button, tint);
    set(QPalette::ButtonText, theme.textPrimary());
    set(QPalette::BrightText, Qt::white);
    // What is on, checked or highlighted: the accent.
    set(QPalette::Dark, theme.accent());
    set(QPalette::Highlight, theme.accent());
    set(QPalette::HighlightedText, theme.textPrimary());
    set(QPalette::Link, theme.accent());
    set(QPalette::LinkVisited, theme.accent());
    // Switch tracks when off, borders, scroll bar handles.
    set(QPalette::Mid, over(withAlpha(theme.textSecondary(), 0.55f), card));
    set(QPalette::Midlight, over(withAlpha(theme.textSecondary(), 0.28f), card));
    set(QPalette::Light, tint);
    set(QPalette::Shadow, Qt::black);
    set(QPalette::ToolTipBase, card);
    set(QPalette::ToolTipText, theme.textPrimary());
    return palette;
}

void applyControlPalette(QQuickWindow& window, const QPalette& palette) {
    // The window's palette is what its controls and pop-ups inherit; the style's own palette
    // is behind it, not the application's. Its roles are set by name, as QML would set them.
    auto* roles = window.property("palette").value<QObject*>();
    if (roles == nullptr) return;
    for (const auto& [role, name] : kRoleNames) roles->setProperty(name, palette.color(role));
}

void followThemeWithControls(Theme& theme) {
    const auto apply = [&theme] {
        const QPalette palette = controlPalette(theme);
        for (QWindow* window : QGuiApplication::allWindows()) {
            if (auto* quick = qobject_cast<QQuickWindow*>(window)) {
                applyControlPalette(*quick, palette);
            }
        }
    };
    apply();
    QObject::connect(&theme, &Theme::changed, &theme, apply);
}

}  // namespace corvanta
