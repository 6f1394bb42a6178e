#include "corvanta/host/SnapshotWatcher.h"

#include <sys/stat.h>

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {
namespace {

// Asked first: the watcher logs a warning for each path it cannot add.
bool isFolder(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

SnapshotWatcher::SnapshotWatcher(std::filesystem::path file, std::chrono::milliseconds quietAfter,
                                 QObject* parent)
    : QObject(parent),
      file_(std::move(file)),
      folder_(QString::fromStdString(file_.parent_path().string())) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietAfter);
    connect(&quiet_, &QTimer::timeout, this, &SnapshotWatcher::quiet);
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    watchFolder();
    if (!watching()) {
        qCWarning(hostLog).noquote() << "cannot watch" << file_.parent_path().c_str()
                                     << "- the widgets follow the snapshot every minute only";
    }
    // A removed folder drops out of the watch with this signal: watched again (or its ancestor)
    // before the look, so that a file written into a folder made again is never missed.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        watchFolder();
        check();
    });
    check();
}

bool SnapshotWatcher::watching() const {
    return watcher_.directories().contains(folder_);
}

void SnapshotWatcher::watchOnly(const QString& path) {
    QStringList others = watcher_.directories();
    others.removeAll(path);
    if (!others.isEmpty()) watcher_.removePaths(others);
}

void SnapshotWatcher::watchFolder() {
    if (watching() || (isFolder(file_.parent_path()) && watcher_.addPath(folder_))) {
        // The ancestor watched while the folder was missing has done its work.
        watchOnly(folder_);
        return;
    }
    // Missing: the nearest ancestor that exists tells when it is made again. Each one is tried
    // in turn, up to the root, so that a tree removed deeper than the folder is followed too.
    for (auto ancestor = file_.parent_path(); ancestor.has_relative_path();) {
        ancestor = ancestor.parent_path();
        const QString path = QString::fromStdString(ancestor.string());
        if (watcher_.directories().contains(path) ||
            (isFolder(ancestor) && watcher_.addPath(path))) {
            watchOnly(path);
            return;
        }
    }
}

void SnapshotWatcher::check() {
    // stat never opens the file: a FIFO in its place cannot hold the host up.
    struct stat info {};
    if (::stat(file_.c_str(), &info) != 0) {
        seen_.reset();
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        if (!saidNotRegular_) {
            qCWarning(hostLog).noquote()
                << "the snapshot" << file_.c_str() << "is not a regular file; ignored";
        }
        saidNotRegular_ = true;
        seen_.reset();
        return;
    }
    saidNotRegular_ = false;
    const Identity identity{info.st_dev, info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
                            info.st_size};
    if (seen_ == identity) return;
    seen_ = identity;
    quiet_.start();
    emit replaced();
}

}  // namespace corvanta::host
