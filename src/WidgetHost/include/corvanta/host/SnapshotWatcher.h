#pragma once

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <optional>
#include <tuple>

#include <sys/types.h>

namespace corvanta::host {

// Tells when the application has put a new snapshot file in place, so that the widgets follow it
// within a second instead of at their next timeline. The folder is watched, not the file: the
// file is replaced by a rename at each write. Only a new file counts, so the writer's temporary
// file does not; a path that holds anything but a regular file is ignored, with one log line.
// The folder is watched for the watcher's whole life, however it or any folder above it is
// removed, renamed aside and made again: every folder from the root down to it that exists is
// watched, each by the folder that is at its path now (a watch follows a renamed folder, so one
// whose folder is no longer at its path is moved to the one that is). A change of any of them is
// a change of the entries of the one above, so none goes unseen.
// When no new file has come for `lateAfter`, and again for `quietAfter`, it says so once each: a
// writer that has gone leaves a snapshot that goes stale without any change to the file. The first
// is soon after the writer's interval, when a writer that has ended can already be told; the
// second past the grace a reader gives a writer that runs but has fallen behind.
class SnapshotWatcher : public QObject {
    Q_OBJECT

  public:
    // Past the application's one-second interval and the grace a reader gives it.
    static constexpr std::chrono::milliseconds defaultQuiet{7000};
    // Past the application's one-second interval, with room for a busy second.
    static constexpr std::chrono::milliseconds defaultLate{2500};

    // Creates the file's folder when it is missing, so that there is something to watch.
    explicit SnapshotWatcher(std::filesystem::path file,
                             std::chrono::milliseconds quietAfter = defaultQuiet,
                             QObject* parent = nullptr,
                             std::chrono::milliseconds lateAfter = defaultLate);

    // Whether the snapshot's folder itself is watched: the folder now at its path, not only a
    // folder above waiting for it, nor one renamed away from it.
    bool watching() const;

  signals:
    void replaced();
    // No new file for `lateAfter` since the last one.
    void late();
    // No new file for `quietAfter` since the last one.
    void quiet();

  private:
    using FileIdentity = std::tuple<dev_t, ino_t, long, long, off_t>;
    using FolderIdentity = std::tuple<dev_t, ino_t>;
    void check();
    // Watches the folders from the root down to the snapshot's as they are now.
    void watchFolders();
    // Watches the folder at `path` now, when it is not already; false when it is not a folder.
    bool watchFolder(const std::filesystem::path& path);

    std::filesystem::path file_;
    QFileSystemWatcher watcher_;
    // The folder each watch was put on, by path; and the folders whose watch could not be made,
    // so that a failure is tried (and logged) again only for another folder at that path.
    QHash<QString, FolderIdentity> watched_;
    QHash<QString, FolderIdentity> unwatchable_;
    QTimer late_;
    QTimer quiet_;
    std::optional<FileIdentity> seen_;
    bool saidNotRegular_ = false;
};

}  // namespace corvanta::host
