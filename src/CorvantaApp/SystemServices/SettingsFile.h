#pragma once

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "SystemServices/QtFileName.h"

namespace corvanta {

// What was found, and done, before the settings file is opened. The INI reader blocks for ever on
// a FIFO and reads a quoted value that runs past its line as far as the next quote, taking the
// settings below it with it; nothing the user set may be overwritten on that account.
// A symbolic link to a regular file (a dotfile manager's) is read through, and the settings are
// written through it into its target, the link kept; a link to anything else is no settings file.
struct SettingsFileCheck {
    enum class Outcome {
        // Absent, or a regular file the reader takes in whole (itself or through a link).
        intact,
        // Not a regular file (a FIFO, a folder, a device, a symbolic link to anything but a
        // regular file within the bound), or one past `settingsFileBound`: renamed aside (a link
        // as a link, its target untouched), never copied; the settings start afresh.
        setAside,
        // A regular file the reader cannot take in whole: its bytes kept aside, every line that
        // reads on its own as `key=value` written back (into a link's target, the link kept).
        recovered,
        // Not a regular file, or one past the bound, and it could not be moved: the settings
        // must not be read from it.
        unusable,
        // A file there that the system will not let us read (EACCES, EIO): the user's settings
        // all the same. Neither read, nor moved, nor saved over; the settings run on defaults.
        unreadable,
        // No file can be named: the user has no home, or the file's folder cannot be named to
        // Qt (QtFileName.h). Nothing is read or saved this run; never taken for a new user's
        // folder elsewhere.
        noPlace,
    };
    Outcome outcome = Outcome::intact;
    QString keptAs;  // the file name the original went to or was copied to
    QString reason;  // the system's, when unreadable; what is missing, when there is no place
    int recoveredSettings = 0;
    int droppedLines = 0;
    bool tooLarge = false;  // set aside, or unusable, for its size
    bool link = false;      // set aside, or unusable, for being a symbolic link to no settings file
    // What such a link led to.
    enum class LinkTarget { none, nothing, notRegular, tooLarge };
    LinkTarget linkTarget = LinkTarget::none;

    // The event log's line about it; none when intact.
    std::optional<QString> logLine(const QString& fileName) const;
};

// Far more than the few dozen settings ever written take: a larger file is no settings file of
// ours, and is never read into memory (the widget host holds its own files to the same bound).
inline constexpr std::size_t settingsFileBound = std::size_t(1) << 20;

// Checks the settings file at `iniPath` without blocking, reading at most `settingsFileBound`
// bytes of it, and puts it right as described above.
// `now` names the copy ("Corvanta.unreadable-20261207T061500Z.conf").
SettingsFileCheck checkSettingsFile(const QString& iniPath,
                                    const QDateTime& now = QDateTime::currentDateTimeUtc());
// The same for the file as Qt names it; noPlace when it has no name.
SettingsFileCheck checkSettingsFile(const QtFileName& iniFile,
                                    const QDateTime& now = QDateTime::currentDateTimeUtc());

// The settings lines the INI reader takes in one by one: each section header with its "]" and
// each `key=value` line whose quotes close and that does not run on into the next line. `kept`
// counts the `key=value` lines kept; `dropped` the lines left out: those that run on, those the
// reader reports as malformed (no `=` outside quotes, a header without its "]"), headers naming
// a subgroup ("/" or "\\" between the brackets, which the writer never puts there), those holding
// a NUL byte, those whose value the reader would decode as other than text (a single "@" start:
// "@Variant(...)"), and the keys under a header that runs on or lacks its "]". Blank lines and ";"
// comments are not counted.
std::string readableSettingsLines(std::string_view text, int& kept, int& dropped);

}  // namespace corvanta
