#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// How long a test waits for what should happen at once before it calls it a failure: long enough
// that a loaded two-core machine never fails a sound build, and far short of every slower
// behaviour the tests tell it apart from (a full long-poll, a sleep of minutes).
inline constexpr std::chrono::seconds patience{30};

// Waits for a condition another thread brings about, checking every millisecond; false after
// `limit`, so a fault fails the test instead of hanging it.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = patience);

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

// `count` consecutive TCP ports for servers a test starts (a node's RPC, P2P and P2P + 1 ports,
// say). They lie outside the ephemeral range, where neither the system's outgoing connections nor
// the servers other tests bind to port 0 land; they were free on every address, IPv4 and IPv6,
// when reserved; and no other process reserving through here gets them until this object is
// destroyed (an open-file-description lock on a byte per port of a lock file in the temporary
// folder, released by the system if the process dies).
class ReservedPorts {
  public:
    explicit ReservedPorts(int count = 1);
    ~ReservedPorts();
    ReservedPorts(ReservedPorts&& other) noexcept;
    ReservedPorts& operator=(ReservedPorts&&) = delete;
    ReservedPorts(const ReservedPorts&) = delete;
    ReservedPorts& operator=(const ReservedPorts&) = delete;

    int first() const { return first_; }
    int count() const { return count_; }
    // Gives up the object but keeps the reservation until the process ends.
    int keepUntilExit() &&;

  private:
    int lockFd_ = -1;
    int first_ = 0;
    int count_ = 0;
};

// One reserved port, kept from other tests for the rest of this process.
int freePort();

// Sends one JSON line to a Unix socket and returns the reply line.
std::string sendLine(const std::filesystem::path& socketPath, std::string_view line);

// $CORVANTA_TEST_BITCOIND when set, else the test node of this tree.
std::filesystem::path nodeProgram();
// True when that program is the test node, which alone knows the -test-* flags and the
// control socket.
bool usingTestNode();

}  // namespace corvanta::testing
