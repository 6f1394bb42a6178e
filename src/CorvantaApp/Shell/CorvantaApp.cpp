#include "Shell/CorvantaApp.h"

#include <QDBusConnection>
#include <QDirIterator>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>

#include "Localization/AppTranslator.h"
#include "Localization/Localization.h"
#include "MenuBar/MenuBar.h"
#include "MenuBar/TrayPresence.h"
#include "Shell/AppDelegate.h"
#include "Shell/DesktopActivation.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"

namespace corvanta {
namespace {

// How long a tray item may be missing before the window comes in its place.
constexpr int kTrayLossGraceMs = 1500;

}  // namespace

void loadBundledFonts() {
    QDirIterator fonts(QStringLiteral(":/corvanta/fonts"));
    while (fonts.hasNext()) QFontDatabase::addApplicationFont(fonts.next());
    QFont font(QStringLiteral("Inter"));
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}

CorvantaApp::CorvantaApp(Prefs& prefs, Platform& platform, Options options, QObject* parent)
    : QObject(parent),
      prefs_(prefs),
      platform_(platform),
      makeTrayPresence_(std::move(options.makeTrayPresence)),
      trayWaitMs_(options.trayWaitMs) {
    AppDelegate::Hooks hooks;
    hooks.makeSession = std::move(options.makeSession);
    hooks.terminate = std::move(options.terminate);
    hooks.updatesConfigured = options.updatesConfigured;
    hooks.checkForUpdates = std::move(options.checkForUpdates);
    hooks.openWidgetGallery = std::move(options.openWidgetGallery);
    hooks.openMainWindow = [this] { openMainWindow(); };
    delegate_ = std::make_unique<AppDelegate>(prefs_, platform_, std::move(hooks));
    connect(&prefs_, &Prefs::miniFloatsAboveOthersChanged, this, &CorvantaApp::configureWindow);
    connect(delegate_.get(), &AppDelegate::contentChanged, this, &CorvantaApp::configureWindow);
}

CorvantaApp::~CorvantaApp() {
    // The window goes before the objects its bindings read.
    menuBar_.reset();
    engine_.reset();
}

WindowConfigurator CorvantaApp::configurator() const {
    const bool compact = delegate_->content() == ContentKind::miniDashboard;
    WindowConfigurator configurator;
    configurator.compact = compact;
    configurator.floating = compact && prefs_.miniFloatsAboveOthers();
    return configurator;
}

void CorvantaApp::configureWindow() {
    if (window_ == nullptr) return;
    configurator().applyTo(*window_, windowMemory_, QStringLiteral("Corvanta"));
}

bool CorvantaApp::launch(bool inBackground) {
    delegate_->didFinishLaunching();
    engine_ = std::make_unique<QQmlApplicationEngine>();
    engine_->addImportPath(QStringLiteral("qrc:/qt/qml"));
    Prefs::attach(*engine_, prefs_);
    Platform::attach(*engine_, platform_);
    AppTranslator::install(Localization::shared(), *engine_);
    engine_->setInitialProperties(
        {{QStringLiteral("shell"), QVariant::fromValue(delegate_.get())}});
    engine_->load(QUrl(QStringLiteral("qrc:/qt/qml/Corvanta/MainWindow.qml")));
    if (engine_->rootObjects().isEmpty()) {
        error_ = QStringLiteral("the main window could not be loaded");
        return false;
    }
    window_ = qobject_cast<QQuickWindow*>(engine_->rootObjects().constFirst());
    if (window_ == nullptr) {
        error_ = QStringLiteral("the main window is not a window");
        return false;
    }
    connect(window_, &QWindow::visibleChanged, this, [this](bool visible) {
        if (visible) {
            configureWindow();
            delegate_->contentAppeared();
            framingChecks_ = 0;
            fitWhenFramed();
        } else {
            closedAt_ = window_->framePosition();
            delegate_->contentDisappeared();
        }
    });
    configureWindow();
    window_->installEventFilter(this);
    trayPresence_ = makeTrayPresence_ ? makeTrayPresence_(this)
                                      : new TrayPresence(QDBusConnection(QString()), {}, this);
    // Made on every platform but offscreen, where there is no tray at all; it shows the item
    // while "rigwell.showInMenuBar" holds and a tray is there.
    if (MenuBar::platformHasTray()) {
        menuBar_ = std::make_unique<MenuBar>(*delegate_, prefs_, platform_, *trayPresence_);
        connect(menuBar_.get(), &MenuBar::shownChanged, this, &CorvantaApp::followTray);
        connect(trayPresence_, &TrayPresence::changed, this, &CorvantaApp::followTray);
    }
    if (inBackground && menuBar_ != nullptr && prefs_.showInMenuBar() &&
        prefs_.onboardingCompleted()) {
        delegate_->startInBackground();
        // The bus's answer, and a panel that starts with the session, may come a little after
        // us; without a tray item by then, the window is the way in.
        QTimer::singleShot(trayWaitMs_, this, [this] {
            startSettled_ = true;
            if (!trayItemShown() && window_ != nullptr && !window_->isVisible()) window_->show();
        });
    } else {
        startSettled_ = true;
        window_->show();
    }
    return true;
}

bool CorvantaApp::trayItemShown() const {
    return menuBar_ != nullptr && menuBar_->isShown();
}

void CorvantaApp::followTray() {
    // A tray that goes and comes back at once (a panel restarting), or a panel whose two kinds
    // of tray come up one after the other, is given a moment before the window comes.
    if (!startSettled_ || trayLossPending_ || !hiddenWithoutWayIn()) return;
    trayLossPending_ = true;
    QTimer::singleShot(kTrayLossGraceMs, this, [this] {
        trayLossPending_ = false;
        // Shown minimized: the user had closed it, or never opened it, and now has no tray item
        // to come back through.
        if (hiddenWithoutWayIn()) showWhereClosed(Qt::WindowMinimized);
    });
}

bool CorvantaApp::hiddenWithoutWayIn() const {
    return window_ != nullptr && !window_->isVisible() && !trayItemShown() &&
           !delegate_->quitting();
}

void CorvantaApp::showWhereClosed(Qt::WindowState state) {
    moveToCurrentDesktop(*window_);
    // Mapped anew, a window would be placed by the window manager from its content's position,
    // a frame's width and a title bar's height off each time.
    if (!window_->isVisible() && closedAt_) window_->setFramePosition(*closedAt_);
    if (state == Qt::WindowMinimized) {
        window_->showMinimized();
        return;
    }
    // show() alone keeps a minimized window iconic.
    if (window_->windowStates().testFlag(Qt::WindowMinimized)) {
        window_->setWindowStates(window_->windowStates() & ~Qt::WindowMinimized);
    }
    window_->show();
}

bool CorvantaApp::eventFilter(QObject* watched, QEvent* event) {
    // Without a tray item a hidden window could only come back through a second launch, so it
    // is minimized instead; off screen there is nothing to come back to either way.
    if (watched == window_ && event->type() == QEvent::Close && !trayItemShown() &&
        MenuBar::platformHasTray() && !delegate_->quitting()) {
        event->ignore();
        window_->showMinimized();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void CorvantaApp::reopenFromLaunch(const QByteArray& token) {
    const bool shown = windowShown();
    launchToken_ = token;
    delegate_->reopen(shown);
    // What the desktop does by itself for a reopen elsewhere: a window already shown, but
    // covered or on another desktop, comes to the front too.
    if (shown) openMainWindow();
    launchToken_.clear();
}

void CorvantaApp::fitWhenFramed() {
    if (window_ == nullptr || !window_->isVisible()) return;
    // The frame's size arrives from the window manager after the window maps; a manager that
    // draws no frame never sends one, so the fit runs anyway after a while.
    constexpr int kChecks = 20;
    constexpr int kIntervalMs = 50;
    if (window_->frameMargins().isNull() && ++framingChecks_ < kChecks) {
        QTimer::singleShot(kIntervalMs, this, &CorvantaApp::fitWhenFramed);
        return;
    }
    configurator().fitOnScreen(*window_);
}

bool CorvantaApp::windowShown() const {
    return window_ != nullptr && window_->isVisible() &&
           !window_->windowStates().testFlag(Qt::WindowMinimized);
}

void CorvantaApp::openMainWindow() {
    if (window_ == nullptr) return;
    showWhereClosed(Qt::WindowNoState);
    // On the desktop the user is on, in front, with the focus: asked from the tray or by a
    // second launch, the window is what the user wants to see now.
    activateForLaunch(*window_, launchToken_);
}

}  // namespace corvanta
