#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::host {

// The lock that keeps one host per user session, also where there is no session bus to hold a
// name: an exclusive lock on a small file, which the system frees when the holder ends, however
// it ends.
class HostLock {
  public:
    enum class Outcome {
        held,
        // Another host of this user holds it.
        taken,
        // The file could not be made or locked; `error()` says why.
        failed,
    };

    explicit HostLock(std::filesystem::path file);
    ~HostLock();
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

    // $XDG_RUNTIME_DIR/corvanta-widget-host.lock, or the config folder's
    // Corvanta/widget-host.lock where the session has no runtime folder.
    static std::filesystem::path defaultFile();

    Outcome acquire();
    const std::string& error() const { return error_; }
    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace corvanta::host
