#include "corvanta/widgets/WidgetColors.h"

#include <QRgb>

namespace corvanta::widgets::colors {
namespace {

QColor opaque(QRgb rgb) {
    return QColor::fromRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
}

}  // namespace

// Function-local statics: made once, thread-safely, on first use.
const QColor& brandViolet() {
    static const QColor colour = opaque(0x8064E8);
    return colour;
}
const QColor& brandPink() {
    static const QColor colour = opaque(0xF39ABD);
    return colour;
}
const QColor& brandMint() {
    static const QColor colour = opaque(0x43C99A);
    return colour;
}
const QColor& brandSuccessText() {
    static const QColor colour = opaque(0x167F58);
    return colour;
}
const QColor& brandWarningText() {
    static const QColor colour = opaque(0x8A5A00);
    return colour;
}
const QColor& brandSecondary() {
    static const QColor colour = opaque(0x77736F);
    return colour;
}

}  // namespace corvanta::widgets::colors
