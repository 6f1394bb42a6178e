#include "corvanta/app/Theme.h"

#include "corvanta/app/Preferences.h"

namespace corvanta {
namespace {

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(float(opacity));
    return color;
}

const QColor kViolet(0x80, 0x64, 0xE8);
const QColor kVioletLight(0xDC, 0xD2, 0xFF);

}  // namespace

Theme::Theme(QObject* parent)
    : Theme(Preferences().string(QStringLiteral("rigwell.appTheme")) == QLatin1String("dark"),
            parent) {}

Theme::Theme(bool dark, QObject* parent) : QObject(parent), dark_(dark) {}

QColor Theme::accent() const {
    return dark_ ? QColor(0x9B, 0x84, 0xF0) : kViolet;
}

QColor Theme::surfaceViolet() const {
    return dark_ ? withOpacity(kViolet, 0.20) : withOpacity(kVioletLight, 0.22);
}

QColor Theme::textSecondary() const {
    return dark_ ? QColor::fromRgbF(0.6f, 0.6f, 0.6f) : QColor(0x77, 0x73, 0x6F);
}

}  // namespace corvanta
