#pragma once

#include <QString>

#include <optional>

namespace corvanta {

// Starting the application at login, through the XDG autostart file "corvanta.desktop", which
// starts this program by its absolute path (installed or not). Enabled means the file exists,
// "Hidden" is not true, "X-GNOME-Autostart-enabled" is not false, and the program it starts still
// exists: an entry left pointing at a removed or moved program is dangling, and is never left
// so (replaced at start-up, replaced when enabling, removed when disabling). A write or removal
// that fails is the system refusing the change.
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
    // At start-up: a switched-on entry whose program no longer exists is rewritten for this
    // program. True when something was rewritten.
    bool replaceDangling() const;

    // The program path as one quoted argument of an Exec line; nullopt for a path that an Exec
    // line cannot hold (a line break).
    static std::optional<QString> execArgument(const QString& programPath);
    // The program an Exec value starts (its first argument, unquoted); nullopt when malformed.
    static std::optional<QString> programOfExec(const QString& execValue);

  private:
    struct Entry {
        bool switchedOn = false;  // neither Hidden nor X-GNOME-Autostart-enabled=false
        bool dangling = false;    // starts an absolute path where no program is
    };
    std::optional<Entry> read() const;
    bool write() const;

    QString directory_;
    QString programPath_;
};

}  // namespace corvanta
