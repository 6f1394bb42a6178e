#pragma once

#include <cerrno>
#include <filesystem>
#include <functional>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvanta {

class FileWriteError : public std::runtime_error {
  public:
    // `errorNumber` is the system's error (errno), 0 when the failure had none.
    explicit FileWriteError(const std::string& message, int errorNumber = 0)
        : std::runtime_error(message), errorNumber_(errorNumber) {}
    int errorNumber() const { return errorNumber_; }
    // The disk (or the user's quota on it) had no room left.
    bool isDiskFull() const;

  private:
    int errorNumber_;
};

enum class Durability {
    // Temp file + rename: readers never see a half-written file.
    atomic,
    // Also fsyncs the file and its folder, so the new contents survive a power cut.
    durable,
};

// Writes `contents` to `path` through a temporary file in the same folder and a rename,
// creating missing parent folders. A file replaced keeps its mode (a private file stays private),
// and its owner where the writer may give it (as root, or the group of the writer's own file).
// Throws FileWriteError (with errno's text) on failure and leaves any previous file untouched.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                         Durability durability = Durability::atomic);

// Where a write of a file the user may keep as a link (a dotfile manager's) goes: the regular file
// a link in its place leads to, through every link on the way, so that the link stays as it is;
// `path` itself when no link is there. Throws FileWriteError when a link there leads to anything
// else (nothing, a loop, a folder, a FIFO): such a link is neither written through nor replaced.
std::filesystem::path writePlaceThroughLink(const std::filesystem::path& path);

// The same write with the contents given piece by piece: the memory it takes is one buffer,
// whatever the file's size. Nothing replaces the file until commit(); a writer destroyed before
// that removes its temporary file and leaves any previous file untouched.
class AtomicFileWriter {
  public:
    AtomicFileWriter(std::filesystem::path path, Durability durability);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(std::string_view piece);
    void commit();

  private:
    static constexpr std::size_t bufferSize = 64 * 1024;
    std::filesystem::path folder() const;
    void flush();

    const std::filesystem::path path_;
    const Durability durability_;
    std::filesystem::path temporary_;
    std::string buffer_;
    int fd_ = -1;
    bool committed_ = false;
};

// Appends `contents` to `path` (created with missing parent folders) and syncs it to the disk,
// with the folder too when the file is new. Never through a link, and only to a regular file: a
// link, FIFO or anything else in its place is a FileWriteError, as is any other failure; a failed
// append is cut back where possible, so the file ends as it did before the call.
void appendToFileDurably(const std::filesystem::path& path, std::string_view contents);
// As appendToFileDurably, for a file of lines: `line` and a line break, on a line of their own.
// A file that ends inside a line (its writing cut short) gets a line break first: that unfinished
// line stays as it was, apart, and the new one reads back whole.
void appendLineDurably(const std::filesystem::path& path, std::string_view line);

class FileReadError : public std::runtime_error {
  public:
    enum class Reason {
        missing,     // nothing by that name
        notRegular,  // a FIFO, device, folder, or (when links are refused) a link in its place
        unreadable,  // there, but the system would not let it be read (EACCES, EIO, ...)
    };
    explicit FileReadError(const std::string& message, Reason reason = Reason::unreadable,
                           int errorNumber = 0)
        : std::runtime_error(message), reason_(reason), errorNumber_(errorNumber) {}
    Reason reason() const { return reason_; }
    // The system's error (EFBIG for a file past the bound the reader set); 0 when it gave none.
    int errorNumber() const { return errorNumber_; }
    // Larger than the bound the reader set: never read.
    bool isTooLarge() const { return errorNumber_ == EFBIG; }
    // A symbolic link in the file's place, refused unfollowed.
    bool isLink() const { return reason_ == Reason::notRegular && errorNumber_ == ELOOP; }

  private:
    Reason reason_;
    int errorNumber_;
};

enum class Links {
    follow,
    refuse,  // a link in the file's place is not the file: FileReadError notRegular
};

// Reads a whole regular file. The open never blocks (a FIFO in the file's place would hold the
// caller until some writer came) and anything but a regular file is refused before a byte is read:
// the kind and the size are those of the descriptor opened, not of whatever the name led to a
// moment before. Throws FileReadError, whose reason tells a missing file from one that is there
// but unreadable; a file of more than `maxBytes` is unreadable (EFBIG, isTooLarge()), and not a
// byte of it is read. Every file of the user's folders or the node's is read with a bound fitted
// to its largest honest size and with links refused.
std::string readFile(const std::filesystem::path& path, Links links = Links::follow,
                     std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Removes what atomic writes left behind in `folder` when the writing process died before its
// rename: regular files named as the writer names its temporary files, for a file whose name
// `isOwnFile` accepts, last changed before this process started. Nothing else is touched.
// Returns how many were removed; never throws.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& folder,
                                      const std::function<bool(std::string_view)>& isOwnFile);
// The same for atomic writes of `file` alone.
std::size_t removeLeftoverTemporaries(const std::filesystem::path& file);

}  // namespace corvanta
