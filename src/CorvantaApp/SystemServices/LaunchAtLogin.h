#pragma once

#include <QString>

#include <filesystem>
#include <optional>

namespace corvanta {

// Starting the application at login, through the XDG autostart file "corvanta.desktop", which
// starts this program by its absolute path (installed or not) with "--background" (the tray
// only, mining resumed, no window), and names it in TryExec so a desktop skips the entry once
// the program is gone. Enabled means the file exists, "Hidden" is not true,
// "X-GNOME-Autostart-enabled" is not false, and the program it starts still exists: an entry
// left pointing at a removed or moved program is dangling, and is never left so (replaced at
// start-up, replaced when enabling, removed when disabling). A write or removal that fails is
// the system refusing the change. Only a regular file is read: anything else in its place (a
// FIFO, a device, a folder) reads as no entry, without ever waiting on it. An entry kept as a link
// to a regular file (a dotfile manager's) is read and written through it, the link and the
// target's mode kept; a link to anything else is never written through.
class LaunchAtLogin {
  public:
    // $XDG_CONFIG_HOME/autostart (by the rules of userFolders: no entry without a home) and this
    // program's absolute path.
    LaunchAtLogin();
    LaunchAtLogin(const QString& autostartDirectory, QString programPath);

    // The entry's path, to be shown.
    QString filePath() const;
    bool isEnabled() const;
    // Makes the state match `enabled`; true when it matches afterwards. Nothing is touched when
    // it already does.
    bool setEnabled(bool enabled) const;
    // At start-up: a switched-on entry whose program no longer exists is rewritten for this
    // program; one written before the entry started the program in the background (no
    // "--background", no TryExec) is rewritten for the program it names. True when something
    // was rewritten.
    bool rewriteOutdated() const;

    // The program path as one quoted argument of an Exec line; nullopt for a path that an Exec
    // line cannot hold (a line break).
    static std::optional<QString> execArgument(const QString& programPath);
    // The program path as a TryExec value; nullopt for a path a line cannot hold.
    static std::optional<QString> tryExecValue(const QString& programPath);
    // The program an Exec value starts (its first argument, unquoted); nullopt when malformed.
    static std::optional<QString> programOfExec(const QString& execValue);

  private:
    struct Entry {
        bool switchedOn = false;  // neither Hidden nor X-GNOME-Autostart-enabled=false
        bool dangling = false;    // starts an absolute path where no program is
        bool background = false;  // its Exec line passes "--background"
        bool tryExec = false;     // it has a TryExec key
        QString program;          // the program its Exec line starts, when readable
    };
    std::filesystem::path file() const;
    std::optional<Entry> read() const;
    bool write(const QString& programPath) const;

    std::filesystem::path directory_;  // empty without a home
    QString programPath_;
};

}  // namespace corvanta
