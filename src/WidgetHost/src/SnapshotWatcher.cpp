#include "corvanta/host/SnapshotWatcher.h"

#include <sys/stat.h>

#include <vector>

#include "corvanta/host/PluginFolder.h"

namespace corvanta::host {
namespace {

// The folder at `path` now; none when there is none. Asked before a watch is added: the watcher
// logs a warning for each path it cannot add.
std::optional<std::tuple<dev_t, ino_t>> folderAt(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return std::tuple{info.st_dev, info.st_ino};
}

QString text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Every folder above it is watched, up to the root: a relative path would stop short of it.
std::filesystem::path absolutePath(std::filesystem::path path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute;
}

}  // namespace

SnapshotWatcher::SnapshotWatcher(std::filesystem::path file, std::chrono::milliseconds quietAfter,
                                 QObject* parent, std::chrono::milliseconds lateAfter)
    : QObject(parent), file_(absolutePath(std::move(file))) {
    late_.setSingleShot(true);
    late_.setInterval(lateAfter);
    connect(&late_, &QTimer::timeout, this, &SnapshotWatcher::late);
    quiet_.setSingleShot(true);
    quiet_.setInterval(quietAfter);
    connect(&quiet_, &QTimer::timeout, this, &SnapshotWatcher::quiet);
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    watchFolders();
    if (!watching()) {
        qCWarning(hostLog).noquote() << "cannot watch" << file_.parent_path().c_str()
                                     << "- the widgets follow the snapshot every minute only";
    }
    // The folders are watched again before the look, so that a file written into a folder made
    // again, or into the one that took a renamed folder's place, is never missed.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        watchFolders();
        check();
    });
    check();
}

bool SnapshotWatcher::watching() const {
    const QString folder = text(file_.parent_path());
    return watcher_.directories().contains(folder) &&
           watched_.value(folder) == folderAt(file_.parent_path());
}

bool SnapshotWatcher::watchFolder(const std::filesystem::path& path) {
    const QString name = text(path);
    // A folder renamed or replaced between the look and the watch is looked at again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto folder = folderAt(path);
        if (!folder) return false;
        const bool isWatched = watcher_.directories().contains(name);
        // Still the folder watched; or one that could not be watched, tried once only.
        if ((isWatched && watched_.value(name) == *folder) || unwatchable_.value(name) == *folder) {
            return true;
        }
        // A watch stays on a folder renamed away from this path and follows it wherever it went.
        if (isWatched) watcher_.removePath(name);
        watched_.remove(name);
        unwatchable_.remove(name);
        if (!watcher_.addPath(name)) {
            unwatchable_.insert(name, *folder);
            return true;
        }
        watched_.insert(name, *folder);
        if (folderAt(path) == folder) return true;
    }
    return true;
}

void SnapshotWatcher::watchFolders() {
    std::vector<std::filesystem::path> chain;
    for (auto folder = file_.parent_path();; folder = folder.parent_path()) {
        chain.push_back(folder);
        if (!folder.has_relative_path()) break;
    }
    // From the root down: the first level missing ends the chain, and a creation there is a
    // change of the level above it.
    QStringList wanted;
    for (auto level = chain.rbegin(); level != chain.rend(); ++level) {
        if (!watchFolder(*level)) break;
        wanted << text(*level);
    }
    for (const QString& path : watcher_.directories()) {
        if (!wanted.contains(path)) watcher_.removePath(path);
    }
    for (auto* known : {&watched_, &unwatchable_}) {
        for (auto folder = known->begin(); folder != known->end();) {
            folder = wanted.contains(folder.key()) ? std::next(folder) : known->erase(folder);
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
    const FileIdentity identity{info.st_dev, info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec,
                                info.st_size};
    if (seen_ == identity) return;
    seen_ = identity;
    late_.start();
    quiet_.start();
    emit replaced();
}

}  // namespace corvanta::host
