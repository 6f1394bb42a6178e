#include "Shell/DesktopMotionSetting.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>

#include <algorithm>

#include "corvanta/support/AtomicFile.h"

#include "Shell/Platform.h"

namespace corvanta {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalSettings = QStringLiteral("org.freedesktop.portal.Settings");

}  // namespace

DesktopMotionSetting::DesktopMotionSetting(QDBusConnection sessionBus, QtFileName configFolder,
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
    if (watcher_ != nullptr || configFolder_.name().isEmpty()) return;
    watcher_ = new QFileSystemWatcher(this);
    // The folder too: settings files are replaced whole, which ends a watch on the file.
    watcher_->addPath(configFolder_.name());
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this,
            &DesktopMotionSetting::readSettingsFile);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this,
            &DesktopMotionSetting::readSettingsFile);
    readSettingsFile();
}

std::optional<QString> DesktopMotionSetting::animationDurationFactor(std::string_view text) {
    std::optional<QString> found;
    bool inGroup = false;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = std::min(text.find('\n', position), text.size());
        const QString line =
            QString::fromUtf8(text.data() + position, qsizetype(end - position)).trimmed();
        position = end + 1;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[KDE]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals < 0) continue;
        QString key = line.left(equals).trimmed();
        // Flags such as "[$i]" (immutable) follow the key's name.
        if (const qsizetype flags = key.indexOf(QLatin1String("[$")); flags > 0) {
            key = key.left(flags).trimmed();
        }
        if (key == QLatin1String("AnimationDurationFactor")) found = line.mid(equals + 1).trimmed();
    }
    return found;
}

void DesktopMotionSetting::readSettingsFile() {
    const QString file = configFolder_.name() + QStringLiteral("/kdeglobals");
    std::string text;
    try {
        // Never blocking on the interface's thread (a FIFO there would hold it for good), never
        // past a bound far above any desktop's settings. Through a link the user keeps (a
        // dotfile manager's), as far as a regular file: the kind and the size are those of the
        // descriptor opened.
        text = readFile(QFile::encodeName(file).toStdString(), Links::follow, settingsBound);
    } catch (const FileReadError&) {
        return;  // missing, or no settings file of the desktop's: no wish known
    }
    if (!watcher_->files().contains(file)) watcher_->addPath(file);
    const auto factor = animationDurationFactor(text);
    if (!factor) return receiver_(false);
    bool isNumber = false;
    const double value = factor->toDouble(&isNumber);
    if (isNumber) receiver_(value == 0);
}

}  // namespace corvanta
