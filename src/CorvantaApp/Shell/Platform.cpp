#include "Shell/Platform.h"

#include <QClipboard>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QQmlEngine>

namespace corvanta {
namespace {

const char* const kEngineProperty = "corvanta.platform";

}  // namespace

Platform::Platform(QDBusConnection sessionBus, QObject* parent)
    : Platform(desktopHooks(std::move(sessionBus)), parent) {}

Platform::Platform(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {
    if (hooks_.queryReduceMotion) {
        hooks_.queryReduceMotion([alive = QPointer<Platform>(this)](bool reduce) {
            if (!alive || alive->reduceMotion_ == reduce) return;
            alive->reduceMotion_ = reduce;
            emit alive->reduceMotionChanged();
        });
    }
}

Platform::Hooks Platform::desktopHooks(QDBusConnection sessionBus) {
    Hooks hooks;
    hooks.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    hooks.showInFileManager = [sessionBus](const QString& file, std::function<void(bool)> done) {
        if (!sessionBus.isConnected()) return done(false);
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(file).toString()} << QString();
        auto* watcher = new QDBusPendingCallWatcher(sessionBus.asyncCall(call, 5000));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             done(!finished->isError());
                         });
    };
    hooks.copyText = [](const QString& text) {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
    };
    hooks.queryReduceMotion = [sessionBus](std::function<void(bool)> done) {
        if (!sessionBus.isConnected()) return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.portal.Desktop"),
            QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
        call << QStringLiteral("org.gnome.desktop.interface")
             << QStringLiteral("enable-animations");
        auto* watcher = new QDBusPendingCallWatcher(sessionBus.asyncCall(call, 5000));
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                         [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             const QDBusMessage reply = finished->reply();
                             if (finished->isError() || reply.arguments().isEmpty()) return;
                             // The value comes wrapped in a variant, sometimes twice.
                             QVariant value = reply.arguments().constFirst();
                             while (value.canConvert<QDBusVariant>() &&
                                    value.metaType() == QMetaType::fromType<QDBusVariant>()) {
                                 value = value.value<QDBusVariant>().variant();
                             }
                             if (value.metaType() == QMetaType::fromType<bool>()) {
                                 done(!value.toBool());
                             }
                         });
    };
    return hooks;
}

Platform* Platform::create(QQmlEngine* engine, QJSEngine*) {
    auto* platform = engine->property(kEngineProperty).value<Platform*>();
    if (platform == nullptr) {
        platform = new Platform(QDBusConnection::sessionBus(), engine);
        attach(*engine, *platform);
    }
    QJSEngine::setObjectOwnership(platform, QJSEngine::CppOwnership);
    return platform;
}

void Platform::attach(QQmlEngine& engine, Platform& platform) {
    engine.setProperty(kEngineProperty, QVariant::fromValue(&platform));
}

bool Platform::openUrl(const QUrl& url) {
    return url.isValid() && hooks_.openUrl && hooks_.openUrl(url);
}

void Platform::revealFile(const QString& file) {
    if (file.isEmpty() || !hooks_.showInFileManager) return;
    const QString folder = QFileInfo(file).absolutePath();
    hooks_.showInFileManager(file, [this, folder, alive = QPointer<Platform>(this)](bool shown) {
        if (!shown && alive) openUrl(QUrl::fromLocalFile(folder));
    });
}

void Platform::copyText(const QString& text) {
    if (hooks_.copyText) hooks_.copyText(text);
}

QString Platform::activationPolicyName() const {
    return policy_ == ActivationPolicy::regular ? QStringLiteral("regular")
                                                : QStringLiteral("accessory");
}

void Platform::recordActivationPolicy(ActivationPolicy policy) {
    if (policy_ == policy) return;
    policy_ = policy;
    emit activationPolicyChanged();
}

}  // namespace corvanta
