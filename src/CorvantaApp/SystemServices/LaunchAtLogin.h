#pragma once

#include <QString>

#include <optional>

namespace corvanta {

// Starting the application at login, through the XDG autostart file "corvanta.desktop".
// Enabled means the file exists, "Hidden" is not true and "X-GNOME-Autostart-enabled" is not
// false. A write or removal that fails is the system refusing the change.
class LaunchAtLogin {
  public:
    // $XDG_CONFIG_HOME/autostart and this program's absolute path.
    LaunchAtLogin();
    LaunchAtLogin(QString autostartDirectory, QString programPath);

    QString filePath() const;
    bool isEnabled() const;
    // Makes the state match `enabled`; true when it matches afterwards. Nothing is touched when
    // it already does.
    bool setEnabled(bool enabled) const;

    // The program path as one quoted argument of an Exec line; nullopt for a path that an Exec
    // line cannot hold (a line break).
    static std::optional<QString> execArgument(const QString& programPath);

  private:
    QString directory_;
    QString programPath_;
};

}  // namespace corvanta
