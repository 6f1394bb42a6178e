#pragma once

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QObject>
#include <QPointer>

class QQmlEngine;
class QJSEngine;

namespace corvanta {

class Preferences;
class Prefs;

// The palette every view of the application draws with (sRGB). A two-valued colour takes its
// light or dark value from "rigwell.appTheme": "dark" exactly is dark, anything else light. The
// system's appearance is never followed. A Theme made over a Prefs follows a change of the theme
// at once.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ dark NOTIFY changed)
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
    // Follows `prefs`.
    Theme(Prefs& prefs, QObject* parent);

    // The QML engine's instance, over that engine's Prefs.
    static Theme* create(QQmlEngine* engine, QJSEngine* js);

    bool dark() const { return dark_; }
    void setDark(bool dark);

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
    QColor pick(const QColor& light, const QColor& dark) const { return dark_ ? dark : light; }

    bool dark_;
};

}  // namespace corvanta
