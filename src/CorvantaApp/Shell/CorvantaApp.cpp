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

bool CorvantaApp::launch() {
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
        } else {
            delegate_->contentDisappeared();
        }
    });
    configureWindow();
    window_->show();
    // Made on every platform but offscreen, where there is no tray at all; it shows the item
    // while "rigwell.showInMenuBar" holds.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        menuBar_ = std::make_unique<MenuBar>(*delegate_, prefs_, platform_);
    }
    return true;
}

void CorvantaApp::openMainWindow() {
    if (window_ == nullptr) return;
    window_->show();
    window_->raise();
    window_->requestActivate();
}

}  // namespace corvanta
