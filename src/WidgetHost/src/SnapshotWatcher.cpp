#include "corvanta/host/SnapshotWatcher.h"

#include <sys/stat.h>

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {

SnapshotWatcher::SnapshotWatcher(std::filesystem::path file, std::chrono::milliseconds quietAfter,
                                 QObject* parent)
    : QObject(parent), file_(std::move(file)) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietAfter);
    connect(&quiet_, &QTimer::timeout, this, &SnapshotWatcher::quiet);
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    if (!watcher_.addPath(QString::fromStdString(file_.parent_path().string()))) {
        qCWarning(hostLog).noquote() << "cannot watch" << file_.parent_path().c_str()
                                     << "- the widgets follow the snapshot every minute only";
    }
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &SnapshotWatcher::check);
    check();
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
