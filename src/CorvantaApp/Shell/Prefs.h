#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

#include "SystemServices/Preferences.h"

class QQmlEngine;
class QJSEngine;

namespace corvanta {

// The interface's own "rigwell." preferences over the application's settings store, one
// property and change signal per key. Every writer of these keys goes through one Prefs, so a
// change reaches every view at once. A key that is absent, or holds something of another type,
// reads as its default.
class Prefs : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString appTheme READ appTheme WRITE setAppTheme NOTIFY appThemeChanged)
    Q_PROPERTY(bool darkTheme READ darkTheme NOTIFY appThemeChanged)
    Q_PROPERTY(bool onboardingCompleted READ onboardingCompleted WRITE setOnboardingCompleted NOTIFY
                   onboardingCompletedChanged)
    Q_PROPERTY(
        double firstLaunchAt READ firstLaunchAt WRITE setFirstLaunchAt NOTIFY firstLaunchAtChanged)
    Q_PROPERTY(
        bool showInMenuBar READ showInMenuBar WRITE setShowInMenuBar NOTIFY showInMenuBarChanged)
    Q_PROPERTY(bool showHashRateInMenuBar READ showHashRateInMenuBar WRITE setShowHashRateInMenuBar
                   NOTIFY showHashRateInMenuBarChanged)
    Q_PROPERTY(bool miniMode READ miniMode WRITE setMiniMode NOTIFY miniModeChanged)
    Q_PROPERTY(bool miniFloatsAboveOthers READ miniFloatsAboveOthers WRITE setMiniFloatsAboveOthers
                   NOTIFY miniFloatsAboveOthersChanged)
    Q_PROPERTY(bool reviewPromptAnswered READ reviewPromptAnswered WRITE setReviewPromptAnswered
                   NOTIFY reviewPromptAnsweredChanged)
    Q_PROPERTY(bool showDockIcon READ showDockIcon WRITE setShowDockIcon NOTIFY showDockIconChanged)

  public:
    explicit Prefs(Preferences store, QObject* parent = nullptr);

    // The QML engine's instance: the one handed to attach(), else one over the default store.
    static Prefs* create(QQmlEngine* engine, QJSEngine*);
    // Makes `prefs` the instance QML sees in `engine`; the caller keeps ownership.
    static void attach(QQmlEngine& engine, Prefs& prefs);

    QString appTheme() const;
    void setAppTheme(const QString& value);
    // "dark" exactly; anything else, absence included, is light.
    bool darkTheme() const { return appTheme() == QLatin1String("dark"); }
    bool onboardingCompleted() const;
    void setOnboardingCompleted(bool value);
    // Seconds since 1970, 0 when never stamped.
    double firstLaunchAt() const;
    void setFirstLaunchAt(double seconds);
    bool showInMenuBar() const;
    void setShowInMenuBar(bool value);
    bool showHashRateInMenuBar() const;
    void setShowHashRateInMenuBar(bool value);
    bool miniMode() const;
    void setMiniMode(bool value);
    bool miniFloatsAboveOthers() const;
    void setMiniFloatsAboveOthers(bool value);
    bool reviewPromptAnswered() const;
    void setReviewPromptAnswered(bool value);
    bool showDockIcon() const;
    void setShowDockIcon(bool value);

    const Preferences& store() const { return store_; }

  signals:
    void appThemeChanged();
    void onboardingCompletedChanged();
    void firstLaunchAtChanged();
    void showInMenuBarChanged();
    void showHashRateInMenuBarChanged();
    void miniModeChanged();
    void miniFloatsAboveOthersChanged();
    void reviewPromptAnsweredChanged();
    void showDockIconChanged();

  private:
    bool flag(const char* key, bool fallback) const;
    void setFlag(const char* key, bool fallback, bool value, void (Prefs::*changed)());

    Preferences store_;
};

}  // namespace corvanta
