#include "corvanta/support/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>

namespace corvanta {
namespace {

std::string errnoText(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

std::string temporaryName(const std::filesystem::path& path) {
    std::random_device entropy;
    std::ostringstream name;
    name << "." << path.filename().string() << ".tmp-" << std::hex << entropy() << entropy();
    return name.str();
}

void writeAll(int fd, std::string_view contents, const std::filesystem::path& path) {
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw FileWriteError(errnoText("cannot write", path));
        }
        contents.remove_prefix(static_cast<size_t>(written));
    }
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::path path, Durability durability)
    : path_(std::move(path)), durability_(durability) {
    const auto folder = this->folder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw FileWriteError("cannot create " + folder.string() + ": " + error.message());
    temporary_ = folder / temporaryName(path_);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) throw FileWriteError(errnoText("cannot create", temporary_));
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
        throw FileWriteError(errnoText("cannot sync", temporary_));
    }
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) throw FileWriteError(errnoText("cannot close", temporary_));
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        throw FileWriteError(errnoText("cannot replace", path_));
    }
    committed_ = true;
    if (durability_ == Durability::durable) {
        FileDescriptor dir(::open(folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
    }
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                         Durability durability) {
    AtomicFileWriter writer(path, durability);
    writer.write(contents);
    writer.commit();
}

void appendToFileDurably(const std::filesystem::path& path, std::string_view contents) {
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw FileWriteError("cannot create " + folder.string() + ": " + error.message());
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (fd.get() < 0) throw FileWriteError(errnoText("cannot open", path));
    struct stat before {};
    if (::fstat(fd.get(), &before) != 0) throw FileWriteError(errnoText("cannot read", path));
    try {
        writeAll(fd.get(), contents, path);
        if (::fdatasync(fd.get()) != 0) throw FileWriteError(errnoText("cannot sync", path));
    } catch (...) {
        // Best effort: a reader would otherwise find half of the contents.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), before.st_size);
        throw;
    }
    // A file just made is only durable once its folder knows it.
    if (before.st_size == 0) {
        FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
            throw FileWriteError(errnoText("cannot sync", folder));
        }
    }
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileReadError("cannot open " + path.string() + ": " + std::strerror(errno));
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) throw FileReadError("cannot read " + path.string());
    return contents.str();
}

}  // namespace corvanta
