#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <optional>
#include <tuple>

namespace corvanta::host {

// Tells when the application has put a new snapshot file in place, so that the widgets follow it
// within a second instead of at their next timeline. The folder is watched, not the file: the
// file is replaced by a rename at each write. Only a new file counts, so the writer's temporary
// file does not; a path that holds anything but a regular file is ignored, with one log line.
// The folder is watched for the watcher's whole life: once it is removed, its nearest existing
// ancestor is watched until the folder is made again, and the folder from then on.
// When no new file has come for `quietAfter`, it says so once: a writer that has gone leaves a
// snapshot that goes stale without any change to the file.
class SnapshotWatcher : public QObject {
    Q_OBJECT

  public:
    // Past the application's one-second interval and the grace a reader gives it.
    static constexpr std::chrono::milliseconds defaultQuiet{7000};

    // Creates the file's folder when it is missing, so that there is something to watch.
    explicit SnapshotWatcher(std::filesystem::path file,
                             std::chrono::milliseconds quietAfter = defaultQuiet,
                             QObject* parent = nullptr);

    // Whether the snapshot's folder itself is watched (not only an ancestor waiting for it).
    bool watching() const;

  signals:
    void replaced();
    // No new file for `quietAfter` since the last one.
    void quiet();

  private:
    using Identity = std::tuple<dev_t, ino_t, long, long, off_t>;
    void check();
    // Watches the folder, or while it is missing the nearest ancestor that exists.
    void watchFolder();
    void watchOnly(const QString& path);

    std::filesystem::path file_;
    QString folder_;
    QFileSystemWatcher watcher_;
    QTimer quiet_;
    std::optional<Identity> seen_;
    bool saidNotRegular_ = false;
};

}  // namespace corvanta::host
