#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "SystemServices/QtFileName.h"

namespace corvanta {

// Follows the desktop's wish for less motion while the application runs: through the settings
// portal (its Read, then its SettingChanged signal) and, where no portal answers, through the
// desktop's own settings file (KDE's kdeglobals), read through a link to a regular file and
// never moved. Tells its receiver the first value it learns and every change after it.
class DesktopMotionSetting : public QObject {
    Q_OBJECT

  public:
    using Receiver = std::function<void(bool reduce)>;

    // `configFolder` holds the desktop's settings files ($XDG_CONFIG_HOME); none without a home.
    DesktopMotionSetting(QDBusConnection sessionBus, QtFileName configFolder, Receiver receiver,
                         QObject* parent);

    // The largest settings file read: a desktop's, themes and all, takes a few dozen KiB.
    static constexpr std::size_t settingsBound = std::size_t(1) << 20;

    // The value of AnimationDurationFactor in the [KDE] group of a kdeglobals text, as written;
    // none when it holds none.
    static std::optional<QString> animationDurationFactor(std::string_view text);

  private slots:
    // The portal's SettingChanged(namespace, key, value).
    void settingChanged(const QDBusMessage& message);

  private:
    void readPortal();
    void followSettingsFile();
    void readSettingsFile();

    QDBusConnection bus_;
    QtFileName configFolder_;
    Receiver receiver_;
    QFileSystemWatcher* watcher_ = nullptr;
};

}  // namespace corvanta
