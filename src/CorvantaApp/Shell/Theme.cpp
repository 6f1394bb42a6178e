#include "Shell/Theme.h"

#include <QQmlEngine>

#include "Shell/ControlStyle.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"

namespace corvanta {
namespace {

QColor hex(QRgb rgb) {
    return QColor::fromRgb(rgb);
}

QColor alpha(QColor color, double opacity) {
    color.setAlphaF(float(opacity));
    return color;
}

QColor white(double level) {
    return QColor::fromRgbF(float(level), float(level), float(level));
}

}  // namespace

Theme::Theme(const Preferences& preferences, QObject* parent)
    : Theme(preferences.string(QStringLiteral("rigwell.appTheme")) == QLatin1String("dark"),
            parent) {}

Theme::Theme(bool dark, QObject* parent) : QObject(parent), dark_(dark), blend_(dark ? 1.0 : 0.0) {
    switch_.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&switch_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        blend_ = value.toDouble();
        emit changed();
    });
}

Theme::Theme(Prefs& prefs, QObject* parent, const Platform* platform)
    : Theme(prefs.darkTheme(), parent) {
    platform_ = platform;
    connect(&prefs, &Prefs::appThemeChanged, this, [this, &prefs] { setDark(prefs.darkTheme()); });
}

Theme* Theme::create(QQmlEngine* engine, QJSEngine* js) {
    auto* theme = new Theme(*Prefs::create(engine, js), nullptr, Platform::create(engine, js));
    // The controls draw with the palette the views see.
    followThemeWithControls(*theme);
    return theme;
}

void Theme::setDark(bool dark) {
    if (dark_ == dark) return;
    dark_ = dark;
    switch_.stop();
    const double target = dark ? 1.0 : 0.0;
    const bool animated = platform_ != nullptr && !platform_->reduceMotion();
    switch_.setDuration(animated ? kSwitchMs : 0);
    if (!animated) {
        blend_ = target;
        emit changed();
        return;
    }
    // From wherever a switch in progress had got to.
    switch_.setStartValue(blend_);
    switch_.setEndValue(target);
    switch_.start();
}

QColor Theme::pick(const QColor& light, const QColor& dark) const {
    if (blend_ <= 0) return light;
    if (blend_ >= 1) return dark;
    const auto mix = [this](float a, float b) { return float(a + (b - a) * blend_); };
    return QColor::fromRgbF(mix(light.redF(), dark.redF()), mix(light.greenF(), dark.greenF()),
                            mix(light.blueF(), dark.blueF()), mix(light.alphaF(), dark.alphaF()));
}

QColor Theme::violet() const {
    return hex(0x8064E8);
}

QColor Theme::violetLight() const {
    return hex(0xDCD2FF);
}

QColor Theme::pink() const {
    return hex(0xF39ABD);
}

QColor Theme::pinkLight() const {
    return hex(0xFFE4EE);
}

QColor Theme::mint() const {
    return hex(0x43C99A);
}

QColor Theme::mintLight() const {
    return hex(0xDDF7ED);
}

QColor Theme::sunny() const {
    return hex(0xFFC95C);
}

QColor Theme::bitcoinOrange() const {
    return hex(0xFF9914);
}

QColor Theme::background() const {
    return pick(hex(0xFFFDF7), hex(0x151219));
}

QColor Theme::sidebarBackground() const {
    return pick(hex(0xFFFBF3), hex(0x1B1721));
}

QColor Theme::cardBackground() const {
    return pick(hex(0xFFFFFF), hex(0x221D2B));
}

QColor Theme::cardBorder() const {
    return pick(alpha(hex(0x37322E), 0.10), alpha(hex(0xDCD2FF), 0.14));
}

QColor Theme::onboardingCream() const {
    return pick(hex(0xFDF6EC), hex(0x1A1713));
}

QColor Theme::onboardingLavender() const {
    return pick(hex(0xEFEAFC), hex(0x1B1626));
}

QColor Theme::onboardingMint() const {
    return pick(hex(0xE7F5EC), hex(0x13201A));
}

QColor Theme::onboardingBlush() const {
    return pick(hex(0xFCEFF3), hex(0x241722));
}

QColor Theme::surfaceViolet() const {
    return pick(alpha(hex(0xDCD2FF), 0.22), alpha(hex(0x8064E8), 0.20));
}

QColor Theme::surfacePink() const {
    return pick(alpha(hex(0xFFE4EE), 0.42), alpha(hex(0xF39ABD), 0.16));
}

QColor Theme::surfaceMint() const {
    return pick(alpha(hex(0xDDF7ED), 0.55), alpha(hex(0x43C99A), 0.16));
}

QColor Theme::surfaceSunny() const {
    return pick(alpha(hex(0xFFC95C), 0.10), alpha(hex(0xFFC95C), 0.13));
}

QColor Theme::trackViolet() const {
    return pick(alpha(hex(0xDCD2FF), 0.20), alpha(hex(0xDCD2FF), 0.16));
}

QColor Theme::accent() const {
    return pick(hex(0x8064E8), hex(0x9B84F0));
}

QColor Theme::gaugeMachine() const {
    return pick(hex(0xF39ABD), hex(0xE889AE));
}

QColor Theme::textPrimary() const {
    return pick(hex(0x171717), white(0.94));
}

QColor Theme::textSecondary() const {
    return pick(hex(0x77736F), white(0.6));
}

QColor Theme::warning() const {
    return pick(hex(0xE8A33C), hex(0xFFC95C));
}

QColor Theme::danger() const {
    return pick(hex(0xE0637E), hex(0xF08098));
}

QColor Theme::successText() const {
    return pick(hex(0x167F58), hex(0x6FE0B8));
}

QColor Theme::warningText() const {
    return pick(hex(0x8A5A00), hex(0xFFD37A));
}

QColor Theme::dangerText() const {
    return pick(hex(0xB3213F), hex(0xFF9AAE));
}

QColor Theme::accentDim() const {
    return pick(alpha(hex(0x8064E8), 0.60), alpha(hex(0x9B84F0), 0.60));
}

QColor Theme::success() const {
    return mint();
}

}  // namespace corvanta
