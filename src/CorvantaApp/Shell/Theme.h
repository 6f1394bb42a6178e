#pragma once

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QVariantAnimation>

class QQmlEngine;
class QJSEngine;

namespace corvanta {

class Preferences;
class Platform;
class Prefs;

// The palette every view of the application draws with (sRGB). A two-valued colour takes its
// light or dark value from "rigwell.appTheme": "dark" exactly is dark, anything else light. The
// system's appearance is never followed. A Theme made over a Prefs follows a change of the theme,
// blending over a quarter of a second where motion is welcome.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
    // How long the last switch of theme took to blend, in milliseconds (0: at once).
    Q_PROPERTY(int switchDuration READ switchDuration NOTIFY changed)
    Q_PROPERTY(QColor violet READ violet NOTIFY changed)
    Q_PROPERTY(QColor violetLight READ violetLight NOTIFY changed)
    Q_PROPERTY(QColor pink READ pink NOTIFY changed)
    Q_PROPERTY(QColor pinkLight READ pinkLight NOTIFY changed)
    Q_PROPERTY(QColor mint READ mint NOTIFY changed)
    Q_PROPERTY(QColor mintLight READ mintLight NOTIFY changed)
    Q_PROPERTY(QColor sunny READ sunny NOTIFY changed)
    Q_PROPERTY(QColor bitcoinOrange READ bitcoinOrange NOTIFY changed)
    Q_PROPERTY(QColor background READ background NOTIFY changed)
    Q_PROPERTY(QColor sidebarBackground READ sidebarBackground NOTIFY changed)
    Q_PROPERTY(QColor cardBackground READ cardBackground NOTIFY changed)
    Q_PROPERTY(QColor cardBorder READ cardBorder NOTIFY changed)
    Q_PROPERTY(QColor onboardingCream READ onboardingCream NOTIFY changed)
    Q_PROPERTY(QColor onboardingLavender READ onboardingLavender NOTIFY changed)
    Q_PROPERTY(QColor onboardingMint READ onboardingMint NOTIFY changed)
    Q_PROPERTY(QColor onboardingBlush READ onboardingBlush NOTIFY changed)
    Q_PROPERTY(QColor surfaceViolet READ surfaceViolet NOTIFY changed)
    Q_PROPERTY(QColor surfacePink READ surfacePink NOTIFY changed)
    Q_PROPERTY(QColor surfaceMint READ surfaceMint NOTIFY changed)
    Q_PROPERTY(QColor surfaceSunny READ surfaceSunny NOTIFY changed)
    Q_PROPERTY(QColor trackViolet READ trackViolet NOTIFY changed)
    Q_PROPERTY(QColor accent READ accent NOTIFY changed)
    Q_PROPERTY(QColor gaugeMachine READ gaugeMachine NOTIFY changed)
    Q_PROPERTY(QColor textPrimary READ textPrimary NOTIFY changed)
    Q_PROPERTY(QColor textSecondary READ textSecondary NOTIFY changed)
    Q_PROPERTY(QColor warning READ warning NOTIFY changed)
    Q_PROPERTY(QColor danger READ danger NOTIFY changed)
    Q_PROPERTY(QColor successText READ successText NOTIFY changed)
    Q_PROPERTY(QColor warningText READ warningText NOTIFY changed)
    Q_PROPERTY(QColor dangerText READ dangerText NOTIFY changed)
    Q_PROPERTY(QColor accentDim READ accentDim NOTIFY changed)
    Q_PROPERTY(QColor success READ success NOTIFY changed)

  public:
    // Reads the theme once from `preferences`.
    explicit Theme(const Preferences& preferences, QObject* parent = nullptr);
    Theme(bool dark, QObject* parent);
    // Follows `prefs`; with a `platform`, a switch of theme blends the two palettes over
    // kSwitchMs unless the desktop asks for less motion.
    Theme(Prefs& prefs, QObject* parent, const Platform* platform = nullptr);

    // The QML engine's instance, over that engine's Prefs and Platform.
    static Theme* create(QQmlEngine* engine, QJSEngine* js);

    static constexpr int kSwitchMs = 250;

    // The theme asked for; while a switch runs, the colours are on their way to it.
    bool dark() const { return dark_; }
    void setDark(bool dark);
    // The switch in progress (or the last one): its duration is 0 when it was made at once.
    const QVariantAnimation& switchAnimation() const { return switch_; }
    int switchDuration() const { return switch_.duration(); }

    QColor violet() const;
    QColor violetLight() const;
    QColor pink() const;
    QColor pinkLight() const;
    QColor mint() const;
    QColor mintLight() const;
    QColor sunny() const;
    QColor bitcoinOrange() const;
    QColor background() const;
    QColor sidebarBackground() const;
    QColor cardBackground() const;
    QColor cardBorder() const;
    QColor onboardingCream() const;
    QColor onboardingLavender() const;
    QColor onboardingMint() const;
    QColor onboardingBlush() const;
    QColor surfaceViolet() const;
    QColor surfacePink() const;
    QColor surfaceMint() const;
    QColor surfaceSunny() const;
    QColor trackViolet() const;
    QColor accent() const;
    QColor gaugeMachine() const;
    QColor textPrimary() const;
    QColor textSecondary() const;
    QColor warning() const;
    QColor danger() const;
    QColor successText() const;
    QColor warningText() const;
    QColor dangerText() const;
    QColor accentDim() const;
    QColor success() const;

  signals:
    void changed();

  private:
    // The light colour, the dark one, or between the two while a switch runs.
    QColor pick(const QColor& light, const QColor& dark) const;

    bool dark_;
    // 0 shows the light palette, 1 the dark one.
    double blend_;
    const Platform* platform_ = nullptr;
    QVariantAnimation switch_;
};

}  // namespace corvanta
