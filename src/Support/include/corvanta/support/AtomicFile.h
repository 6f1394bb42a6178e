#pragma once

#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvanta {

class FileWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Durability {
    // Temp file + rename: readers never see a half-written file.
    atomic,
    // Also fsyncs the file and its folder, so the new contents survive a power cut.
    durable,
};

// Writes `contents` to `path` through a temporary file in the same folder and a rename,
// creating missing parent folders. Throws FileWriteError (with errno's text) on failure and
// leaves any previous file untouched.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents,
                         Durability durability = Durability::atomic);

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
// with the folder too when the file is new. Throws FileWriteError; a failed append is cut back
// where possible, so the file ends as it did before the call.
void appendToFileDurably(const std::filesystem::path& path, std::string_view contents);

class FileReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// Reads a whole file; throws FileReadError when it cannot be opened or read.
std::string readFile(const std::filesystem::path& path);

}  // namespace corvanta
