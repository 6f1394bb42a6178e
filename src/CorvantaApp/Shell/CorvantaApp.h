#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "Shell/WindowConfigurator.h"

class QQmlApplicationEngine;
#include <QQuickWindow>

namespace corvanta {

class AppDelegate;
class MenuBar;
class Platform;
class Prefs;

// The application: the main window, titled "Corvanta", whose content the delegate picks; the
// tray item; the window fitted to its mode. Closing the window never quits.
class CorvantaApp : public QObject {
    Q_OBJECT

  public:
    struct Options {
        // Makes the session model (parented to the given object) at its first use.
        std::function<QObject*(QObject* parent)> makeSession;
        std::function<void()> terminate;
        bool updatesConfigured = false;
    };

    CorvantaApp(Prefs& prefs, Platform& platform, Options options, QObject* parent = nullptr);
    ~CorvantaApp() override;

    // Loads and shows the main window, and the tray item where the desktop has a tray. False,
    // with errorString(), when the window cannot be made.
    bool launch();
    QString errorString() const { return error_; }

    AppDelegate& delegate() { return *delegate_; }
    QQuickWindow* window() const { return window_; }
    QQmlApplicationEngine& engine() { return *engine_; }
    // Shows the window, or brings it forward.
    void openMainWindow();

  private:
    void configureWindow();
    WindowConfigurator configurator() const;

    Prefs& prefs_;
    Platform& platform_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<MenuBar> menuBar_;
    QPointer<QQuickWindow> window_;
    WindowConfigurator::Memory windowMemory_;
    QString error_;
};

// Registers the typefaces bundled in the resources (Inter, DejaVu Sans Mono, Material Icons) and
// makes Inter the application's font, so every machine draws text alike.
void loadBundledFonts();

}  // namespace corvanta
