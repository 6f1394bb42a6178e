#include "corvanta/host/HostLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "corvanta/host/InstanceStore.h"

namespace corvanta::host {

namespace fs = std::filesystem;

HostLock::HostLock(fs::path file) : file_(std::move(file)) {}

HostLock::~HostLock() {
    if (fd_ >= 0) ::close(fd_);
}

fs::path HostLock::defaultFile() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && fs::path(runtime).is_absolute()) {
        return fs::path(runtime) / "corvanta-widget-host.lock";
    }
    return InstanceStore::defaultFile().parent_path() / "widget-host.lock";
}

HostLock::Outcome HostLock::acquire() {
    if (fd_ >= 0) return Outcome::held;
    std::error_code made;
    fs::create_directories(file_.parent_path(), made);
    // Non-blocking: whatever sits at the path (a FIFO put there) must not hold the host up.
    const int fd =
        ::open(file_.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) {
        error_ = std::string("cannot open ") + file_.string() + ": " + std::strerror(errno);
        return Outcome::failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error_ = file_.string() + " is not a regular file";
        return Outcome::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        ::close(fd);
        if (why == EWOULDBLOCK) return Outcome::taken;
        error_ = std::string("cannot lock ") + file_.string() + ": " + std::strerror(why);
        return Outcome::failed;
    }
    fd_ = fd;
    return Outcome::held;
}

}  // namespace corvanta::host
