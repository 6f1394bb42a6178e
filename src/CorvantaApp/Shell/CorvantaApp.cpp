#include "Shell/CorvantaApp.h"

#include <QDirIterator>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>

#include "Localization/AppTranslator.h"
#include "Localization/Localization.h"
#include "MenuBar/MenuBar.h"
#include "Shell/AppDelegate.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"

namespace corvanta {

void loadBundledFonts() {
    QDirIterator fonts(QStringLiteral(":/corvanta/fonts"));
    while (fonts.hasNext()) QFontDatabase::addApplicationFont(fonts.next());
    QFont font(QStringLiteral("Inter"));
    font.setPixelSize(13);
    QGuiApplication::setFont(font);
}

CorvantaApp::CorvantaApp(Prefs& prefs, Platform& platform, Options options, QObject* parent)
    : QObject(parent), prefs_(prefs), platform_(platform) {
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
            delegate_->contentDisappeared();
        }
    });
    configureWindow();
    // Made on every platform but offscreen, where there is no tray at all; it shows the item
    // while "rigwell.showInMenuBar" holds.
    const bool hasTray = QGuiApplication::platformName() != QLatin1String("offscreen");
    if (hasTray) menuBar_ = std::make_unique<MenuBar>(*delegate_, prefs_, platform_);
    if (inBackground && hasTray && prefs_.showInMenuBar() && prefs_.onboardingCompleted()) {
        delegate_->startInBackground();
    } else {
        window_->show();
    }
    return true;
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
    // show() alone keeps a minimized window iconic.
    if (window_->windowStates().testFlag(Qt::WindowMinimized)) {
        window_->setWindowStates(window_->windowStates() & ~Qt::WindowMinimized);
    }
    window_->show();
    window_->raise();
    window_->requestActivate();
}

}  // namespace corvanta
