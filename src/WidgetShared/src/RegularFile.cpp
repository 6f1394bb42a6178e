#include "corvanta/shared/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvanta {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

RegularFileText readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    using Outcome = RegularFileText::Outcome;
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {Outcome::absent, {}, ENOENT};
        if (errno == ENXIO) return {Outcome::notRegular, {}, ENXIO};  // a socket
        return {Outcome::failed, {}, errno};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return {Outcome::failed, {}, errno};
    if (!S_ISREG(info.st_mode)) return {Outcome::notRegular, {}, 0};
    if (static_cast<std::size_t>(info.st_size) > maxBytes) return {Outcome::failed, {}, EFBIG};

    RegularFileText result{Outcome::read, {}, 0};
    result.text.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    for (;;) {
        // One byte of room past the size seen: a file that grew meanwhile is noticed.
        if (filled == result.text.size()) result.text.resize(filled + 4096);
        const ssize_t n =
            ::read(fd.get(), result.text.data() + filled, result.text.size() - filled);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return {Outcome::failed, {}, errno};
        }
        filled += static_cast<std::size_t>(n);
        if (filled > maxBytes) return {Outcome::failed, {}, EFBIG};
    }
    result.text.resize(filled);
    return result;
}

}  // namespace corvanta
