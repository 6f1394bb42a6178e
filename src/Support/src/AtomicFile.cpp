#include "corvanta/support/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <utility>

#include "corvanta/support/UniqueFd.h"

namespace corvanta {
namespace {

// Captures errno before anything else can change it.
FileWriteError writeError(const std::string& what, const std::filesystem::path& path) {
    const int error = errno;
    return FileWriteError(what + " " + path.string() + ": " + std::strerror(error), error);
}

constexpr std::string_view kTemporaryMark = ".tmp-";

std::string temporaryName(const std::filesystem::path& path) {
    std::random_device entropy;
    std::ostringstream name;
    name << "." << path.filename().string() << kTemporaryMark << std::hex << entropy() << entropy();
    return name.str();
}

void writeAll(int fd, std::string_view contents, const std::filesystem::path& path) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw writeError("cannot write", path);
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
}

// The new file takes the place of the old one with the old one's mode, before a byte is written:
// a private file (0600) stays private, and its contents never lie in a file others may read. Its
// owner too where this writer may give it: as root (a file of the user's written by root stays
// the user's), or the group of a file of this user's own. Nothing to keep for a new file.
void keepModeAndOwnerOf(const std::filesystem::path& replaced, int fd,
                        const std::filesystem::path& temporary) {
    struct stat old {};
    if (::stat(replaced.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return;
    const uid_t self = ::geteuid();
    if (self == 0 || old.st_uid == self) {
        // A group this user is no member of is refused: the user's own group stays then.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    // After the owner: giving a file away clears its set-id bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        throw writeError("cannot set the mode of", temporary);
    }
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path path, Durability durability)
    : path_(std::move(path)), durability_(durability) {
    const auto folder = this->folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw FileWriteError("cannot create " + folder.string() + ": " + error.message(),
                             error.value());
    }
    temporary_ = folder / temporaryName(path_);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) throw writeError("cannot create", temporary_);
    try {
        keepModeAndOwnerOf(path_, fd_, temporary_);
    } catch (const FileWriteError&) {
        ::close(std::exchange(fd_, -1));
        ::unlink(temporary_.c_str());
        throw;
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temporary_.c_str());
}

std::filesystem::path AtomicFileWriter::folder() const {
    return path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
}

void AtomicFileWriter::write(std::string_view piece) {
    buffer_.append(piece);
    if (buffer_.size() >= bufferSize) flush();
}

void AtomicFileWriter::flush() {
    writeAll(fd_, buffer_, temporary_);
    buffer_.clear();
}

void AtomicFileWriter::commit() {
    flush();
    if (durability_ == Durability::durable && ::fsync(fd_) != 0) {
        throw writeError("cannot sync", temporary_);
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) throw writeError("cannot close", temporary_);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        throw writeError("cannot replace", path_);
    }
    committed_ = true;
    if (durability_ == Durability::durable) {
        UniqueFd dir(::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
    }
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                         Durability durability) {
    AtomicFileWriter writer(path, durability);
    writer.write(contents);
    writer.commit();
}

std::filesystem::path writePlaceThroughLink(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    std::error_code error;
    std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error) {
        throw FileWriteError(path.string() + " is a link to nothing (" + error.message() + ")",
                             error.value());
    }
    if (::stat(target.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        throw FileWriteError(
            path.string() + " is a link to " + target.string() + ", which is not a regular file",
            EINVAL);
    }
    return target;
}

namespace {

enum class Appending { asIs, onALineOfItsOwn };

void appendDurably(const std::filesystem::path& path, std::string_view contents,
                   Appending appending) {
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw FileWriteError("cannot create " + folder.string() + ": " + error.message(),
                             error.value());
    }
    // Never through a link (it would write outside the folder), and never held up by a FIFO.
    const int access = appending == Appending::asIs ? O_WRONLY : O_RDWR;
    UniqueFd fd(::open(path.c_str(),
                       access | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (fd.get() < 0) throw writeError("cannot open", path);
    struct stat before {};
    if (::fstat(fd.get(), &before) != 0) throw writeError("cannot read", path);
    if (!S_ISREG(before.st_mode)) throw FileWriteError("not a regular file: " + path.string());
    std::string separated;
    if (appending == Appending::onALineOfItsOwn && before.st_size > 0) {
        char last = '\n';
        if (::pread(fd.get(), &last, 1, before.st_size - 1) != 1) {
            throw writeError("cannot read", path);
        }
        if (last != '\n') {
            separated = "\n" + std::string(contents);
            contents = separated;
        }
    }
    try {
        writeAll(fd.get(), contents, path);
        if (::fdatasync(fd.get()) != 0) throw writeError("cannot sync", path);
    } catch (...) {
        // Best effort: a reader would otherwise find half of the contents.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), before.st_size);
        throw;
    }
    // A file just made is only durable once its folder knows it.
    if (before.st_size == 0) {
        UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
            throw writeError("cannot sync", folder);
        }
    }
}

}  // namespace

void appendToFileDurably(const std::filesystem::path& path, std::string_view contents) {
    appendDurably(path, contents, Appending::asIs);
}

void appendLineDurably(const std::filesystem::path& path, std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    appendDurably(path, text, Appending::onALineOfItsOwn);
}

bool FileWriteError::isDiskFull() const {
    return errorNumber_ == ENOSPC || errorNumber_ == EDQUOT;
}

std::string readFile(const std::filesystem::path& path, Links links, std::size_t maxBytes) {
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (links == Links::refuse) flags |= O_NOFOLLOW;
    UniqueFd fd(::open(path.c_str(), flags));
    if (fd.get() < 0) {
        const int error = errno;
        const auto message = "cannot open " + path.string() + ": " + std::strerror(error);
        // A file where a folder of the path should be: no such file either.
        if (error == ENOENT || error == ENOTDIR) {
            throw FileReadError(message, FileReadError::Reason::missing, error);
        }
        // O_NOFOLLOW's refusal of a link, and a socket, which open() never reads.
        if ((error == ELOOP && links == Links::refuse) || error == ENXIO) {
            throw FileReadError("not a regular file: " + path.string(),
                                FileReadError::Reason::notRegular, error);
        }
        throw FileReadError(message, FileReadError::Reason::unreadable, error);
    }
    const auto readError = [&](int error) {
        return FileReadError("cannot read " + path.string() + ": " + std::strerror(error),
                             FileReadError::Reason::unreadable, error);
    };
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) throw readError(errno);
    // Checked on the descriptor itself: a file swapped for something else meanwhile is not read.
    if (!S_ISREG(status.st_mode)) {
        throw FileReadError("not a regular file: " + path.string(),
                            FileReadError::Reason::notRegular);
    }
    if (static_cast<std::uintmax_t>(status.st_size) > maxBytes) throw readError(EFBIG);
    std::string contents;
    // Files under /proc and /sys tell a size of 0: read until the end whatever the size says.
    std::string block(64 * 1024, '\0');
    for (;;) {
        const ssize_t got = ::read(fd.get(), block.data(), block.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw readError(errno);
        }
        if (got == 0) break;
        contents.append(block.data(), static_cast<std::size_t>(got));
        // A file that grew past the bound since fstat().
        if (contents.size() > maxBytes) throw readError(EFBIG);
    }
    return contents;
}

namespace {

// When this process started, read from the fine wall clock. A file's time is never later than
// the fine clock at its write, whether the file system stamps it from the coarse clock or, as
// newer kernels do for files someone looks at, from the fine one; so a file stamped earlier than
// this instant was written before this process, at the resolution the file system gives. Only a
// write in the one clock tick after the start could be stamped earlier by a coarse clock, and this
// process writes nothing that soon. Taken as the library loads.
std::optional<std::chrono::system_clock::time_point> startNow() {
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return std::nullopt;
    return std::chrono::system_clock::time_point(
        std::chrono::seconds(now.tv_sec) +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(now.tv_nsec)));
}
const std::optional<std::chrono::system_clock::time_point> kProcessStart = startNow();

std::optional<std::chrono::system_clock::time_point> processStart() {
    return kProcessStart;
}

bool isHexDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder,
                                      const std::function<bool(std::string_view)>& isOwnFile) {
    const auto started = processStart();
    if (!started) return 0;  // without it, a live writer's file could not be told apart
    std::size_t removed = 0;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) return 0;
    for (const auto& entry : entries) {
        const auto name = entry.path().filename().string();
        // ".<file name>.tmp-<hex digits>", as temporaryName makes it.
        const auto mark = name.rfind(kTemporaryMark);
        if (!name.starts_with('.') || mark == std::string::npos || mark < 2 ||
            !isHexDigits(std::string_view(name).substr(mark + kTemporaryMark.size())) ||
            !isOwnFile(std::string_view(name).substr(1, mark - 1))) {
            continue;
        }
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
        const auto changed = std::chrono::system_clock::time_point(
            std::chrono::seconds(status.st_mtim.tv_sec) +
            std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
        if (changed >= *started) continue;  // a write of this run, or of a copy running now
        if (::unlink(entry.path().c_str()) == 0) ++removed;
    }
    return removed;
}

std::size_t removeLeftoverTemporaries(const std::filesystem::path& file) {
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const auto own = file.filename().string();
    return removeLeftoverTemporaries(folder, [&](std::string_view name) { return name == own; });
}

}  // namespace corvanta
