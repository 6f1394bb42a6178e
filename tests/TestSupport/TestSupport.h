#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Writes an executable script (with its #! line) and returns its path.
std::filesystem::path writeScript(const std::filesystem::path& path, std::string_view body);
void writeText(const std::filesystem::path& path, std::string_view text);
std::string readText(const std::filesystem::path& path);

// Sets (or with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// True while a process with this pid exists (zombies included).
bool processExists(pid_t pid);
// Waits up to `seconds` for every pid listed (one a line) in `pidFile` to disappear; a missing
// file counts as all gone.
bool allProcessesGone(const std::filesystem::path& pidFile, double seconds = 5.0);
// The last pid listed in `pidFile`, -1 when none is.
pid_t lastPid(const std::filesystem::path& pidFile);

// Lower-case hexadecimal text of bytes, and bytes of such text (either case; malformed text is a
// mistake in the test and throws).
std::string hexOf(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> bytesFromHex(std::string_view text);

// A loopback TCP port that was free a moment ago.
int freePort();

// Sends one JSON line to a Unix socket and returns the reply line.
std::string sendLine(const std::filesystem::path& socketPath, std::string_view line);

// $CORVANTA_TEST_BITCOIND when set, else the test node of this tree.
std::filesystem::path nodeProgram();
// True when that program is the test node, which alone knows the -test-* flags and the
// control socket.
bool usingTestNode();

}  // namespace corvanta::testing
