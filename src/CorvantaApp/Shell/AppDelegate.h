#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "Shell/ShellRules.h"

namespace corvanta {

class Platform;
class Prefs;
class UpdateController;

// The application's rules between the desktop, the main window and the session: which content
// the window shows, what happens when it appears and goes, when mining starts by itself, and the
// one way out. The session model is made at its first use through the factory (the real
// model, or a stand-in with the same surface in tests) and read through its properties.
class AppDelegate : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_PROPERTY(QString content READ contentName NOTIFY contentChanged)
    Q_PROPERTY(QObject* session READ sessionIfMade NOTIFY sessionChanged)
    Q_PROPERTY(bool openAdvancedOnAppear READ openAdvancedOnAppear WRITE setOpenAdvancedOnAppear
                   NOTIFY openAdvancedOnAppearChanged)
    Q_PROPERTY(bool mainWindowIsOpen READ mainWindowIsOpen NOTIFY mainWindowIsOpenChanged)
    Q_PROPERTY(bool updatesConfigured READ updatesConfigured CONSTANT)
    Q_PROPERTY(bool updateChecking READ updateChecking NOTIFY updateCheckingChanged)

  public:
    struct Hooks {
        std::function<QObject*(QObject* parent)> makeSession;
        // Opens the main window, or brings it forward.
        std::function<void()> openMainWindow;
        // Ends the event loop; called once.
        std::function<void()> terminate;
        std::function<double()> now;  // seconds since 1970
        bool updatesConfigured = false;
        std::function<void()> checkForUpdates;
        // Opens the desktop widgets' gallery; unset where no widget host is installed.
        std::function<void()> openWidgetGallery;
    };

    AppDelegate(Prefs& prefs, Platform& platform, Hooks hooks, QObject* parent = nullptr);
    ~AppDelegate() override;

    // At launch: the activation policy.
    void didFinishLaunching();

    ContentKind content() const { return content_; }
    QString contentName() const;
    // The session model, made now if it was not yet.
    QObject& session();
    QObject* sessionIfMade() const { return session_; }
    bool openAdvancedOnAppear() const { return openAdvancedOnAppear_; }
    void setOpenAdvancedOnAppear(bool value);
    bool mainWindowIsOpen() const { return mainWindowIsOpen_; }
    bool updatesConfigured() const { return hooks_.updatesConfigured; }
    // A check the user started is running (the tray says so and offers no second one).
    bool updateChecking() const { return updateChecking_; }
    void setUpdateChecking(bool checking);
    bool quitting() const { return quitting_; }

    // The window's content came on screen / went away.
    void contentAppeared();
    void contentDisappeared();

    // The views' actions.
    Q_INVOKABLE void finishOnboarding();
    Q_INVOKABLE void replayOnboarding();
    Q_INVOKABLE void enterMiniMode();
    Q_INVOKABLE void leaveMiniMode();
    Q_INVOKABLE void toggleFloating();
    // The mini dashboard's settings button: the dashboard, with its settings panel open.
    Q_INVOKABLE void openSettingsFromMini();
    // The tray's commands.
    Q_INVOKABLE void openMainWindow();
    // Out of mini mode with the settings asked for, and the window opened. During onboarding it
    // only opens the window.
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void startMining();
    Q_INVOKABLE void stopMining();
    // Checks the update feed, when this build has one.
    Q_INVOKABLE void checkForUpdates();
    bool widgetGalleryAvailable() const { return bool(hooks_.openWidgetGallery); }
    Q_INVOKABLE void openWidgetGallery();
    // A second launch asked for the window. `hasVisibleWindow` is false for a minimized one.
    void reopen(bool hasVisibleWindow);
    // Started without its window (at login): the session starts as it would when the window
    // opens, the window stays closed until asked for.
    void startInBackground();

    // The one way out ("Quitter", Ctrl+Q, SIGTERM, SIGINT, SIGHUP): at once without a session,
    // else after the session's shutdown. A second request while one runs starts nothing more.
    Q_INVOKABLE void requestQuit();

  signals:
    void contentChanged();
    void sessionChanged();
    void openAdvancedOnAppearChanged();
    void mainWindowIsOpenChanged();
    void updateCheckingChanged();
    // The dashboard, already on screen, is asked to open its settings panel.
    void settingsRequested();

  private slots:
    void finishQuit();

  private:
    void followPreferences();
    void applyActivationPolicy();
    ShellRunState runState() const;
    void appear(AppearReason reason);
    void startUpTask(AppearReason reason);

    Prefs& prefs_;
    Platform& platform_;
    Hooks hooks_;
    QPointer<QObject> session_;
    ContentKind content_;
    bool contentOnScreen_ = false;
    bool mainWindowIsOpen_ = false;
    bool openAdvancedOnAppear_ = false;
    bool quitting_ = false;
    bool terminated_ = false;
    bool updateChecking_ = false;
};

}  // namespace corvanta
