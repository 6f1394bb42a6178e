#include "Shell/Prefs.h"

#include <QQmlEngine>

#include <cmath>

namespace corvanta {
namespace {

const char* const kEngineProperty = "corvanta.prefs";

QString key(const char* name) {
    return QStringLiteral("rigwell.") + QLatin1String(name);
}

}  // namespace

Prefs::Prefs(Preferences store, QObject* parent) : QObject(parent), store_(std::move(store)) {}

Prefs* Prefs::create(QQmlEngine* engine, QJSEngine*) {
    auto* prefs = engine->property(kEngineProperty).value<Prefs*>();
    if (prefs == nullptr) {
        // One per engine, so the singleton and the theme read the same object.
        prefs = new Prefs(Preferences(), engine);
        attach(*engine, *prefs);
    }
    QJSEngine::setObjectOwnership(prefs, QJSEngine::CppOwnership);
    return prefs;
}

void Prefs::attach(QQmlEngine& engine, Prefs& prefs) {
    engine.setProperty(kEngineProperty, QVariant::fromValue(&prefs));
}

bool Prefs::flag(const char* name, bool fallback) const {
    return store_.boolean(key(name)).value_or(fallback);
}

void Prefs::setFlag(const char* name, bool fallback, bool value, void (Prefs::*changed)()) {
    if (store_.boolean(key(name)) == value) return;
    const bool before = flag(name, fallback);
    store_.setBoolean(key(name), value);
    if (before != value) emit(this->*changed)();
}

QString Prefs::appTheme() const {
    return store_.string(key("appTheme")).value_or(QStringLiteral("light"));
}

void Prefs::setAppTheme(const QString& value) {
    if (store_.string(key("appTheme")) == value) return;
    const QString before = appTheme();
    store_.setString(key("appTheme"), value);
    if (before != value) emit appThemeChanged();
}

bool Prefs::onboardingCompleted() const {
    return flag("onboardingCompleted", false);
}
void Prefs::setOnboardingCompleted(bool value) {
    setFlag("onboardingCompleted", false, value, &Prefs::onboardingCompletedChanged);
}

double Prefs::firstLaunchAt() const {
    return double(store_.integer(key("firstLaunchAt")).value_or(0));
}

void Prefs::setFirstLaunchAt(double seconds) {
    // Whole seconds: the store keeps numbers as whole decimal text.
    const auto whole = std::isfinite(seconds) ? std::int64_t(std::floor(seconds)) : 0;
    if (store_.integer(key("firstLaunchAt")) == whole) return;
    const double before = firstLaunchAt();
    store_.setInteger(key("firstLaunchAt"), whole);
    if (before != double(whole)) emit firstLaunchAtChanged();
}

bool Prefs::showInMenuBar() const {
    return flag("showInMenuBar", true);
}
void Prefs::setShowInMenuBar(bool value) {
    setFlag("showInMenuBar", true, value, &Prefs::showInMenuBarChanged);
}
bool Prefs::showHashRateInMenuBar() const {
    return flag("showHashRateInMenuBar", false);
}
void Prefs::setShowHashRateInMenuBar(bool value) {
    setFlag("showHashRateInMenuBar", false, value, &Prefs::showHashRateInMenuBarChanged);
}
bool Prefs::miniMode() const {
    return flag("miniMode", false);
}
void Prefs::setMiniMode(bool value) {
    setFlag("miniMode", false, value, &Prefs::miniModeChanged);
}
bool Prefs::miniFloatsAboveOthers() const {
    return flag("miniFloatsAboveOthers", true);
}
void Prefs::setMiniFloatsAboveOthers(bool value) {
    setFlag("miniFloatsAboveOthers", true, value, &Prefs::miniFloatsAboveOthersChanged);
}
bool Prefs::reviewPromptAnswered() const {
    return flag("reviewPromptAnswered", false);
}
void Prefs::setReviewPromptAnswered(bool value) {
    setFlag("reviewPromptAnswered", false, value, &Prefs::reviewPromptAnsweredChanged);
}
bool Prefs::showDockIcon() const {
    return flag("showDockIcon", true);
}
void Prefs::setShowDockIcon(bool value) {
    setFlag("showDockIcon", true, value, &Prefs::showDockIconChanged);
}

}  // namespace corvanta
