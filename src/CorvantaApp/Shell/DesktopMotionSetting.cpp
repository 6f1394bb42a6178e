#include "Shell/DesktopMotionSetting.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QSettings>

#include "Shell/Platform.h"

namespace corvanta {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalSettings = QStringLiteral("org.freedesktop.portal.Settings");

}  // namespace

DesktopMotionSetting::DesktopMotionSetting(QDBusConnection sessionBus, QString configFolder,
                                           Receiver receiver, QObject* parent)
    : QObject(parent),
      bus_(std::move(sessionBus)),
      configFolder_(std::move(configFolder)),
      receiver_(std::move(receiver)) {
    if (!bus_.isConnected()) {
        followSettingsFile();
        return;
    }
    // Subscribed before the first read, so a change between the two is not missed.
    bus_.connect(kPortalService, kPortalPath, kPortalSettings, QStringLiteral("SettingChanged"),
                 this, SLOT(settingChanged(QDBusMessage)));
    readPortal();
}

void DesktopMotionSetting::readPortal() {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalSettings,
                                                       QStringLiteral("Read"));
    call << QStringLiteral("org.gnome.desktop.interface") << QStringLiteral("enable-animations");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                const auto reduce =
                    finished->isError() || reply.arguments().isEmpty()
                        ? std::nullopt
                        : Platform::reduceMotionFrom(QStringLiteral("org.gnome.desktop.interface"),
                                                     QStringLiteral("enable-animations"),
                                                     reply.arguments().constFirst());
                if (reduce) return receiver_(*reduce);
                // No portal, or one that does not know the setting: the desktop's own file.
                followSettingsFile();
            });
}

void DesktopMotionSetting::settingChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 3) return;
    if (const auto reduce = Platform::reduceMotionFrom(arguments[0].toString(),
                                                       arguments[1].toString(), arguments[2])) {
        receiver_(*reduce);
    }
}

void DesktopMotionSetting::followSettingsFile() {
    if (watcher_ != nullptr || configFolder_.isEmpty()) return;
    watcher_ = new QFileSystemWatcher(this);
    // The folder too: settings files are replaced whole, which ends a watch on the file.
    watcher_->addPath(configFolder_);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
            &DesktopMotionSetting::readSettingsFile);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this,
            &DesktopMotionSetting::readSettingsFile);
    readSettingsFile();
}

void DesktopMotionSetting::readSettingsFile() {
    const QString file = configFolder_ + QStringLiteral("/kdeglobals");
    if (!QFileInfo::exists(file)) return;
    if (!watcher_->files().contains(file)) watcher_->addPath(file);
    const QSettings settings(file, QSettings::IniFormat);
    const QVariant factor = settings.value(QStringLiteral("KDE/AnimationDurationFactor"));
    if (!factor.isValid()) return receiver_(false);
    bool isNumber = false;
    const double value = factor.toString().toDouble(&isNumber);
    if (isNumber) receiver_(value == 0);
}

}  // namespace corvanta
