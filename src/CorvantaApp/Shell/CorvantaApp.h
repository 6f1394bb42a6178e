#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "Shell/WindowConfigurator.h"

class QQmlApplicationEngine;
#include <QQuickWindow>

namespace corvanta {

class AppDelegate;
class MenuBar;
class Platform;
class Prefs;
class TrayPresence;

// The application: the main window, titled "Corvanta", whose content the delegate picks; the
// tray item; the window fitted to its mode. Closing the window never quits: with a tray item it
// hides the window, without one it minimizes it, so there is always a way back in.
class CorvantaApp : public QObject {
    Q_OBJECT

  public:
    struct Options {
        // Makes the session model (parented to the given object) at its first use.
        std::function<QObject*(QObject* parent)> makeSession;
        std::function<void()> terminate;
        bool updatesConfigured = false;
        // The tray's "check for updates" (set when updates are configured).
        std::function<void()> checkForUpdates;
        // Watches for the desktop's tray (parented to the given object); without it there is
        // never a tray.
        std::function<TrayPresence*(QObject* parent)> makeTrayPresence;
        // How long a background start waits for a tray (one that starts with the desktop session
        // may come a little after us) before it opens the window.
        int trayWaitMs = 8'000;
        // The tray's "widget gallery" (set when a widget host is installed).
        std::function<void()> openWidgetGallery;
    };

    CorvantaApp(Prefs& prefs, Platform& platform, Options options, QObject* parent = nullptr);
    ~CorvantaApp() override;

    // Loads the main window and shows it, and the tray item where the desktop has a tray. With
    // `inBackground` (at login) the window stays closed and the session starts as if it had
    // opened; a first run, which needs the onboarding, and a user without the tray item get the
    // window all the same, and so does a desktop where no tray has come up after a while.
    // False, with errorString(), when the window cannot be made.
    bool launch(bool inBackground = false);
    QString errorString() const { return error_; }

    AppDelegate& delegate() { return *delegate_; }
    QQuickWindow* window() const { return window_; }
    QQmlApplicationEngine& engine() { return *engine_; }
    // Shows the window, unminimized, raised and active.
    void openMainWindow();
    // Whether the window is on screen and not minimized.
    bool windowShown() const;
    // A second launch: the window opened, or brought to the front and activated whatever its
    // state, with the launcher's activation token.
    void reopenFromLaunch(const QByteArray& token);
    // Whether the tray item is there for the user to come back through.
    bool trayItemShown() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void configureWindow();
    // The tray came or went: a window hidden with no way back is shown again, minimized.
    void followTray();
    bool hiddenWithoutWayIn() const;
    // Shown (or minimized) at the place it was closed at.
    void showWhereClosed(Qt::WindowState state);
    // Once the window manager has framed the window: fitted to the screen with its real frame.
    void fitWhenFramed();
    WindowConfigurator configurator() const;

    Prefs& prefs_;
    Platform& platform_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    std::unique_ptr<AppDelegate> delegate_;
    std::function<TrayPresence*(QObject*)> makeTrayPresence_;
    int trayWaitMs_ = 0;
    TrayPresence* trayPresence_ = nullptr;
    std::unique_ptr<MenuBar> menuBar_;
    QPointer<QQuickWindow> window_;
    WindowConfigurator::Memory windowMemory_;
    QString error_;
    int framingChecks_ = 0;
    std::optional<QPoint> closedAt_;
    // A background start has had its wait for a tray; the window follows the tray from then on.
    bool startSettled_ = false;
    bool trayLossPending_ = false;
    // The token of the second launch being answered, handed on with the activation.
    QByteArray launchToken_;
};

// Registers the typefaces bundled in the resources (Inter, DejaVu Sans Mono, Material Icons) and
// makes Inter the application's font, so every machine draws text alike.
void loadBundledFonts();

}  // namespace corvanta
