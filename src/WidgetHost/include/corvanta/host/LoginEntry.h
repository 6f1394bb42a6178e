#pragma once

#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "corvanta/host/WriteReport.h"

namespace corvanta::host {

// The host's start at login for this user only, as an XDG autostart entry that exists while the
// user has widgets placed: nothing of ours starts at login for a user without widgets. An entry
// the user switched off in the desktop's settings ("Hidden=true" or
// "X-GNOME-Autostart-enabled=false") is the user's lasting choice: it is neither rewritten nor
// removed. An entry kept as a link to a regular file (a dotfile manager's) is rewritten through
// it, the link kept; a link that leads nowhere is never replaced.
class LoginEntry {
  public:
    LoginEntry(std::filesystem::path file, QString program);

    // $XDG_CONFIG_HOME/autostart/corvanta-widget-host.desktop (~/.config when unset).
    static std::filesystem::path defaultFile();

    // The entry's text for `program` (an absolute path), with TryExec so that a desktop skips it
    // once the program is gone; none for a path no entry can carry (a line break in it).
    static std::optional<std::string> text(const QString& program);

    // Whether an entry's text is switched off, as a desktop's startup settings do it.
    static bool switchedOff(std::string_view entry);

    // Writes the entry when `widgetsPlaced` (only when its text differs) or removes it, unless
    // the user switched it off; false when that failed, said in the log when following begins to
    // fail and when it works again, not at each call.
    bool follow(bool widgetsPlaced);

    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
    QString program_;
    WriteReport report_;
};

}  // namespace corvanta::host
