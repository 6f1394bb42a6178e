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

#include "Shell/DesktopMotionSetting.h"
#include "corvanta/support/UserFolders.h"

namespace corvanta {
namespace {

const char* const kEngineProperty = "corvanta.platform";

}  // namespace

Platform::Platform(QDBusConnection sessionBus, QObject* parent)
    : Platform(desktopHooks(std::move(sessionBus)), parent) {}

Platform::Platform(Hooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {
    if (hooks_.followReduceMotion) {
        hooks_.followReduceMotion(*this, [this](bool reduce) { setReduceMotion(reduce); });
    }
}

void Platform::setReduceMotion(bool reduce) {
    if (reduceMotion_ == reduce) return;
    reduceMotion_ = reduce;
    emit reduceMotionChanged();
}

std::optional<bool> Platform::reduceMotionFrom(const QString& group, const QString& key,
                                               QVariant value) {
    // The portal wraps the value in a variant, sometimes twice.
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    if (group == QLatin1String("org.gnome.desktop.interface") &&
        key == QLatin1String("enable-animations") &&
        value.metaType() == QMetaType::fromType<bool>()) {
        return !value.toBool();
    }
    if (group == QLatin1String("org.kde.kdeglobals.KDE") &&
        key == QLatin1String("AnimationDurationFactor") &&
        (value.metaType() == QMetaType::fromType<double>() ||
         value.metaType() == QMetaType::fromType<int>())) {
        return value.toDouble() == 0;
    }
    return std::nullopt;
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
    hooks.offerSelection = [](const QString& text) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard != nullptr && clipboard->supportsSelection()) {
            clipboard->setText(text, QClipboard::Selection);
        }
    };
    hooks.followReduceMotion = [sessionBus](QObject& owner, std::function<void(bool)> receiver) {
        // A child of the platform: it ends with it, and with it its calls and watches.
        const auto config = userFolders::configHome();
        new DesktopMotionSetting(sessionBus, config ? QtFileName(*config) : QtFileName(),
                                 std::move(receiver), &owner);
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

QString nearestExistingFolder(const QString& path) {
    QFileInfo info(QFileInfo(path).absolutePath());
    while (!info.isDir()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath()) return {};
        info = QFileInfo(parent);
    }
    return info.absoluteFilePath();
}

void Platform::revealFile(const QString& file) {
    if (file.isEmpty()) return;
    // Not written yet (a ledger before its first entry): the closest folder that is there.
    const bool exists = hooks_.fileExists ? hooks_.fileExists(file) : QFileInfo::exists(file);
    if (!exists) {
        const QString folder = nearestExistingFolder(file);
        if (!folder.isEmpty()) openUrl(QUrl::fromLocalFile(folder));
        return;
    }
    if (!hooks_.showInFileManager) return;
    const QString folder = QFileInfo(file).absolutePath();
    hooks_.showInFileManager(file, [this, folder, alive = QPointer<Platform>(this)](bool shown) {
        if (!shown && alive) openUrl(QUrl::fromLocalFile(folder));
    });
}

void Platform::copyText(const QString& text) {
    if (hooks_.copyText) hooks_.copyText(text);
}

void Platform::offerSelection(const QString& text) {
    if (hooks_.offerSelection) hooks_.offerSelection(text);
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
