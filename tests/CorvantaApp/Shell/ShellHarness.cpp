#include "ShellHarness.h"

#include <QQmlEngine>

namespace corvanta::testing {

ShellHarness::ShellHarness(QQmlEngine& engine)
    : QObject(&engine), prefs_(*Prefs::create(&engine, &engine)) {
    Platform::Hooks hooks;
    hooks.openUrl = [this](const QUrl& url) {
        openedUrls_ << url.toString();
        emit recorded();
        return true;
    };
    hooks.copyText = [this](const QString& text) {
        copiedTexts_ << text;
        emit recorded();
    };
    hooks.offerSelection = [this](const QString& text) {
        offeredSelections_ << text;
        emit recorded();
    };
    hooks.showInFileManager = [this](const QString& file, std::function<void(bool)> shown) {
        revealedFiles_ << file;
        emit recorded();
        shown(true);
    };
    // The views' tests follow which file an action names, written or not.
    hooks.fileExists = [](const QString&) { return true; };
    hooks.followReduceMotion = [this](QObject&, std::function<void(bool)> receiver) {
        reduceMotion_ = std::move(receiver);
    };
    platform_ = std::make_unique<Platform>(std::move(hooks), nullptr);
    Platform::attach(engine, *platform_);
}

AppDelegate* ShellHarness::makeShell(QObject* session) {
    AppDelegate::Hooks hooks;
    hooks.makeSession = [session](QObject*) { return session; };
    hooks.openMainWindow = [this] {
        ++windowOpens_;
        emit recorded();
    };
    hooks.terminate = [this] {
        ++terminations_;
        emit recorded();
    };
    hooks.now = [] { return 1'780'000'000.0; };
    shells_.push_back(std::make_unique<AppDelegate>(prefs_, *platform_, std::move(hooks)));
    QQmlEngine::setObjectOwnership(shells_.back().get(), QQmlEngine::CppOwnership);
    return shells_.back().get();
}

void ShellHarness::clearRecords() {
    openedUrls_.clear();
    copiedTexts_.clear();
    offeredSelections_.clear();
    revealedFiles_.clear();
    emit recorded();
}

void ShellHarness::resetPrefs() {
    // The previous test's shells go first: their sessions are gone.
    shells_.clear();
    setReduceMotion(false);
    prefs_.setAppTheme(QStringLiteral("light"));
    prefs_.setOnboardingCompleted(false);
    prefs_.setMiniMode(false);
    prefs_.setMiniFloatsAboveOthers(true);
    prefs_.setShowInMenuBar(true);
    prefs_.setShowHashRateInMenuBar(false);
}

}  // namespace corvanta::testing
