#include "SystemServices/QtFileName.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>

#include <cerrno>
#include <string>
#include <system_error>

namespace corvanta {
namespace {

QString asText(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Whether Qt, given the bytes as text, comes back to the same bytes.
bool namesItself(const std::string& bytes) {
    return QFile::encodeName(asText(bytes)).toStdString() == bytes;
}

// The same folder, as the descriptor and as /proc names it.
bool procNames(const UniqueFd& folder, const std::string& name) {
    struct stat direct {};
    struct stat named {};
    return ::fstat(folder.get(), &direct) == 0 && ::stat(name.c_str(), &named) == 0 &&
           direct.st_dev == named.st_dev && direct.st_ino == named.st_ino;
}

}  // namespace

QtFileName::QtFileName(std::filesystem::path path) : path_(std::move(path)) {
    if (path_.empty()) return;
    if (namesItself(path_.string())) {
        name_ = asText(path_.string());
        return;
    }
    // The deepest folder there, and the rest of the path below it.
    std::filesystem::path folder = path_.parent_path();
    std::filesystem::path rest = path_.filename();
    UniqueFd held(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    while (!held) {
        if (errno != ENOENT || !folder.has_relative_path()) return;
        rest = folder.filename() / rest;
        folder = folder.parent_path();
        held.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (!namesItself(rest.string())) {
        // A folder of the user's own choosing not made yet, whose name Qt could not give back:
        // made here, so that the rest is the file's name alone.
        std::error_code error;
        std::filesystem::create_directories(path_.parent_path(), error);
        held.reset(::open(path_.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (error || !held) return;
        rest = path_.filename();
    }
    const std::string through = "/proc/self/fd/" + std::to_string(held.get());
    if (!namesItself(rest.string()) || !procNames(held, through)) return;
    folder_ = std::make_shared<const UniqueFd>(std::move(held));
    name_ = asText(through + "/" + rest.string());
}

QString QtFileName::shown() const {
    return asText(path_.string());
}

}  // namespace corvanta
