#pragma once

#include <QString>

#include <optional>

namespace corvanta {

// Why the settings file at `iniPath` could not be saved, asked of the file system without writing
// anything; none when a save would be taken. The writer puts a new file in the old one's place (in
// a link's target's place, the link kept), so the file, when there, and the folder it lies in must
// both take writes; folders not made yet are made in the nearest one there. A settings file kept
// as a link into a read-only folder (a dotfile manager's store) is read, but never saved.
std::optional<QString> settingsSaveProblem(const QString& iniPath);

// The event log's line for a settings file that cannot be saved.
QString settingsUnsavedLogLine(const QString& fileName, const QString& reason);
// The event log's line for a settings file saved again after it could not be.
QString settingsSavedAgainLogLine(const QString& fileName);

}  // namespace corvanta
