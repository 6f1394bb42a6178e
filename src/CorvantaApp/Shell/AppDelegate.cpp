#include "Shell/AppDelegate.h"

#include <QDateTime>
#include <QMetaMethod>
#include <QMetaObject>

#include "Shell/Platform.h"
#include "Shell/Prefs.h"

namespace corvanta {

AppDelegate::AppDelegate(Prefs& prefs, Platform& platform, Hooks hooks, QObject* parent)
    : QObject(parent),
      prefs_(prefs),
      platform_(platform),
      hooks_(std::move(hooks)),
      content_(contentKind(prefs.onboardingCompleted(), prefs.miniMode())) {
    if (!hooks_.now) {
        hooks_.now = [] { return double(QDateTime::currentSecsSinceEpoch()); };
    }
    connect(&prefs_, &Prefs::onboardingCompletedChanged, this, &AppDelegate::followPreferences);
    connect(&prefs_, &Prefs::miniModeChanged, this, &AppDelegate::followPreferences);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::didFinishLaunching() {
    applyActivationPolicy();
}

QString AppDelegate::contentName() const {
    switch (content_) {
        case ContentKind::onboarding:
            return QStringLiteral("onboarding");
        case ContentKind::miniDashboard:
            return QStringLiteral("mini");
        case ContentKind::dashboard:
            break;
    }
    return QStringLiteral("dashboard");
}

QObject& AppDelegate::session() {
    if (session_ == nullptr) {
        session_ = hooks_.makeSession(this);
        emit sessionChanged();
    }
    return *session_;
}

void AppDelegate::setOpenAdvancedOnAppear(bool value) {
    if (openAdvancedOnAppear_ == value) return;
    openAdvancedOnAppear_ = value;
    emit openAdvancedOnAppearChanged();
}

ShellRunState AppDelegate::runState() const {
    if (session_ == nullptr) return ShellRunState::idle;
    const int state = session_->property("runState").toInt();
    return state >= 0 && state <= int(ShellRunState::failed) ? ShellRunState(state)
                                                             : ShellRunState::idle;
}

void AppDelegate::applyActivationPolicy() {
    platform_.recordActivationPolicy(activationPolicy(prefs_.showDockIcon(), mainWindowIsOpen_));
}

void AppDelegate::contentAppeared() {
    appear(AppearReason::windowOpened);
}

void AppDelegate::appear(AppearReason reason) {
    if (contentOnScreen_ || quitting_) return;
    contentOnScreen_ = true;
    if (!mainWindowIsOpen_) {
        mainWindowIsOpen_ = true;
        emit mainWindowIsOpenChanged();
        applyActivationPolicy();
    }
    if (prefs_.firstLaunchAt() == 0) prefs_.setFirstLaunchAt(hooks_.now());
    startUpTask(reason);
}

void AppDelegate::contentDisappeared() {
    if (!contentOnScreen_) return;
    contentOnScreen_ = false;
    if (mainWindowIsOpen_) {
        mainWindowIsOpen_ = false;
        emit mainWindowIsOpenChanged();
        applyActivationPolicy();
    }
}

void AppDelegate::startUpTask(AppearReason reason) {
    QObject& model = session();
    if (shouldStartOnAppear(prefs_.onboardingCompleted(), runState(), reason)) {
        QMetaObject::invokeMethod(&model, "start");
    }
}

void AppDelegate::followPreferences() {
    const ContentKind next = contentKind(prefs_.onboardingCompleted(), prefs_.miniMode());
    if (next == content_) return;
    // The content that goes disappears first, so the window reads open at the end.
    const bool onScreen = contentOnScreen_;
    const AppearReason reason = content_ == ContentKind::onboarding
                                    ? AppearReason::onboardingFinished
                                    : AppearReason::contentSwitched;
    contentDisappeared();
    content_ = next;
    emit contentChanged();
    if (onScreen) appear(reason);
}

void AppDelegate::openWidgetGallery() {
    if (hooks_.openWidgetGallery) hooks_.openWidgetGallery();
}

void AppDelegate::checkForUpdates() {
    if (hooks_.updatesConfigured && hooks_.checkForUpdates) hooks_.checkForUpdates();
}

void AppDelegate::setUpdateChecking(bool checking) {
    if (updateChecking_ == checking) return;
    updateChecking_ = checking;
    emit updateCheckingChanged();
}

void AppDelegate::startInBackground() {
    startUpTask(AppearReason::windowOpened);
}

void AppDelegate::finishOnboarding() {
    prefs_.setOnboardingCompleted(true);
}

void AppDelegate::replayOnboarding() {
    prefs_.setOnboardingCompleted(false);
}

void AppDelegate::enterMiniMode() {
    prefs_.setMiniMode(true);
}

void AppDelegate::leaveMiniMode() {
    prefs_.setMiniMode(false);
}

void AppDelegate::toggleFloating() {
    prefs_.setMiniFloatsAboveOthers(!prefs_.miniFloatsAboveOthers());
}

void AppDelegate::openSettingsFromMini() {
    setOpenAdvancedOnAppear(true);
    prefs_.setMiniMode(false);
}

void AppDelegate::openMainWindow() {
    if (hooks_.openMainWindow) hooks_.openMainWindow();
}

void AppDelegate::openSettings() {
    if (content_ != ContentKind::onboarding) {
        if (content_ == ContentKind::dashboard && contentOnScreen_) {
            emit settingsRequested();
        } else {
            setOpenAdvancedOnAppear(true);
            prefs_.setMiniMode(false);
        }
    }
    openMainWindow();
}

void AppDelegate::startMining() {
    QMetaObject::invokeMethod(&session(), "start");
}

void AppDelegate::stopMining() {
    QMetaObject::invokeMethod(&session(), "stop");
}

void AppDelegate::reopen(bool hasVisibleWindow) {
    if (!hasVisibleWindow) openMainWindow();
}

void AppDelegate::requestQuit() {
    if (quitting_) return;
    quitting_ = true;
    if (quitReply(session_ != nullptr) == QuitReply::now) return finishQuit();
    // Found by name: a stand-in model declares the same signal.
    const QMetaObject* meta = session_->metaObject();
    const int ready = meta->indexOfSignal("terminationReady()");
    if (ready < 0) return finishQuit();
    connect(session_, meta->method(ready), this,
            metaObject()->method(metaObject()->indexOfSlot("finishQuit()")));
    QMetaObject::invokeMethod(session_, "shutdownForTermination");
}

void AppDelegate::finishQuit() {
    if (terminated_) return;
    terminated_ = true;
    if (hooks_.terminate) hooks_.terminate();
}

}  // namespace corvanta
