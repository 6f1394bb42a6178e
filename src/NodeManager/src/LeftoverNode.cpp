#include "LeftoverNode.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

namespace corvanta {
namespace {

bool runsProgram(pid_t pid, const std::string& program) {
    const auto running = ProcessInfo::executable(pid);
    // A node program replaced on disk (an update) while the node ran is still the one launched.
    return running && (*running == program || *running == program + " (deleted)");
}

// The program the process runs is this launch's node program: the very file, or (replaced on
// disk by an update since) one with the digest the build expects. /proc/PID/exe opens the file
// the process runs, whatever became of its name.
bool runsOurNode(pid_t pid, const std::filesystem::path& program,
                 const std::optional<std::string>& expectedSha256) {
    const auto running = "/proc/" + std::to_string(pid) + "/exe";
    struct stat ran {};
    struct stat ours {};
    if (::stat(running.c_str(), &ran) != 0) return false;
    if (::stat(program.c_str(), &ours) == 0 && ran.st_dev == ours.st_dev &&
        ran.st_ino == ours.st_ino) {
        return true;
    }
    if (!expectedSha256 || !S_ISREG(ran.st_mode)) return false;
    try {
        return BinaryIntegrity::sha256Hex(running) == lowercased(*expectedSha256);
    } catch (...) {
        return false;
    }
}

// The RPC port the node was started with (the last one given wins, as the node reads it), else
// the configuration's.
int rpcPortOf(const std::vector<std::string>& commandLine, int fallback) {
    constexpr std::string_view kFlag = "-rpcport=";
    int port = fallback;
    for (const auto& argument : commandLine) {
        if (!argument.starts_with(kFlag)) continue;
        const std::string_view digits = std::string_view(argument).substr(kFlag.size());
        int value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error == std::errc() && end == digits.data() + digits.size() && value > 0 &&
            value < 65536) {
            port = value;
        }
    }
    return port;
}

}  // namespace

LeftoverNode::LeftoverNode(NodeLaunchRecord record, UniqueFd pidfd, NodeConfiguration configuration,
                           int rpcPort)
    : record_(std::move(record)),
      pidfd_(std::move(pidfd)),
      configuration_(std::move(configuration)),
      rpcPort_(rpcPort) {}

std::optional<LeftoverNode> LeftoverNode::find(const NodeConfiguration& configuration,
                                               const std::filesystem::path& program,
                                               const std::optional<std::string>& expectedSha256) {
    const auto location = NodeLaunchRecord::location(configuration.dataDirectory);
    removeLeftoverTemporaries(location);
    auto record = NodeLaunchRecord::read(location);
    if (!record || record->dataDirectory != configuration.dataDirectory) return std::nullopt;
    // A launcher still running (this process, or another copy of the application) looks after its
    // own node.
    if (ProcessInfo::isLive(record->launcher)) return std::nullopt;
    if (record->node.pid == ::getpid()) return std::nullopt;
    UniqueFd pidfd(::pidfd_open(record->node.pid, 0));
    if (!pidfd) return std::nullopt;
    // Checked with the pidfd open, the process cannot turn into a later one with its pid.
    if (!ProcessInfo::isLive(record->node) || !runsProgram(record->node.pid, record->program) ||
        !runsOurNode(record->node.pid, program, expectedSha256)) {
        return std::nullopt;
    }
    const auto commandLine = ProcessInfo::commandLine(record->node.pid);
    const std::string folderArgument = "-datadir=" + configuration.dataDirectory.string();
    if (std::find(commandLine.begin(), commandLine.end(), folderArgument) == commandLine.end()) {
        return std::nullopt;
    }
    const int rpcPort = rpcPortOf(commandLine, configuration.rpcPort);
    return LeftoverNode(std::move(*record), std::move(pidfd), configuration, rpcPort);
}

bool LeftoverNode::stop(std::chrono::steady_clock::duration grace,
                        std::chrono::steady_clock::duration poll, double rpcTimeoutSeconds,
                        std::stop_token stop) {
    bool stopDelivered = false;
    try {
        const RPCClient client("http://127.0.0.1:" + std::to_string(rpcPort_) + "/",
                               RPCCredentials::readingCookie(configuration_.cookieURL()));
        client.call("stop", {}, rpcTimeoutSeconds, stop);
        stopDelivered = true;
    } catch (const Cancelled&) {
        throw;
    } catch (...) {
        // No cookie, no answer: SIGTERM does the same clean shutdown.
    }
    bool gone = stopDelivered && waitGone(grace, poll, stop);
    if (!gone) {
        ::pidfd_send_signal(pidfd_.get(), SIGTERM, nullptr, 0);
        gone = waitGone(grace, poll, stop);
    }
    if (gone) {
        NodeLaunchRecord::removeIfNaming(NodeLaunchRecord::location(configuration_.dataDirectory),
                                         record_.node);
    }
    return gone;
}

bool LeftoverNode::waitGone(std::chrono::steady_clock::duration limit,
                            std::chrono::steady_clock::duration poll,
                            const std::stop_token& stop) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        throwIfStopRequested(stop);
        // The pidfd reads as ready once the process has exited, reaped or not.
        pollfd ended{pidfd_.get(), POLLIN, 0};
        const auto left = deadline - std::chrono::steady_clock::now();
        const auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::clamp<std::chrono::steady_clock::duration>(left, {}, poll));
        if (::poll(&ended, 1, static_cast<int>(slice.count())) > 0) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
}

}  // namespace corvanta
