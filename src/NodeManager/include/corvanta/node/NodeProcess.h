#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/NodeConfiguration.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/node/NodeTerminationReason.h"

namespace corvanta {

class ChildProcess;
class OutputTail;
struct ProcessIdentity;

struct NodeProcessTimings {
    // How often waitForCookie looks for the cookie file.
    std::chrono::milliseconds cookiePoll{100};
    // How long waitForCookie gives an exited node's end to be handled (its output drained).
    std::chrono::milliseconds exitHandledWait{2000};
    // How long output written just before the exit is still collected.
    std::chrono::milliseconds finalDrain{500};
    // The version probe run after a digest mismatch.
    std::chrono::milliseconds versionProbeTimeout{3000};
    // A NodeProcess destroyed with its node still running sends SIGTERM and waits this long
    // before SIGKILL: the node never outlives its owner.
    std::chrono::milliseconds abandonGrace{30000};
    // Output tail kept, in characters (code points).
    std::size_t outputLimit = 65536;
    // The node gets SIGTERM when this process ends by any means (a crash, SIGKILL), as after a
    // clean stop. Off only in tests that leave a node behind on purpose.
    bool endsWithApplication = true;
};

// Launches bitcoind as a child process and supervises it: one node at a time, its digest checked
// before each launch, its standard output and error captured into a bounded tail, its cookie
// awaited, its end observed (through a pidfd) and recorded. May be started again after each end.
// While a node runs (from its cookie on) a launch record beside its data folder names it, so a
// later launch can tell it apart should this process end without ending it.
//
// States: idle (no process held), running, exited but not yet handled (output still being
// drained; start() still refuses), handled (idle again, reason recorded, tail readable until
// the next start()). Thread-safe; no lock is held across a wait.
class NodeProcess {
  public:
    NodeProcess(std::filesystem::path binaryURL, NodeConfiguration configuration,
                std::optional<BitcoindRelease> expectedRelease, NodeProcessTimings timings = {});
    ~NodeProcess();
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    const NodeConfiguration& configuration() const { return configuration_; }
    const std::filesystem::path& binaryURL() const { return binaryURL_; }
    const std::optional<BitcoindRelease>& expectedRelease() const { return expectedRelease_; }

    // A process is held and has not exited.
    bool isRunning() const;
    // A process is held: running, or exited with its end not yet handled.
    bool holdsProcess() const;
    // The last `outputLimit` characters the node printed (stdout and stderr joined).
    std::string recentOutput() const;
    // How many times output (or its end) was read from the node's pipe.
    std::int64_t outputHandlerInvocations() const;
    std::optional<NodeTerminationReason> lastTerminationReason() const;

    // Checks and launches the node. Throws NodeProcessError AlreadyRunning / BinaryMissing /
    // IntegrityMismatch, BinaryIntegrityError FileUnreadable, std::system_error or
    // std::filesystem::filesystem_error for the platform's failures.
    void start();

    // Waits for the node's cookie file, records the launch and returns the cookie's path. Throws
    // NodeProcessError NotRunning (nothing launched, or its end was asked for), LockConflict /
    // ExitedDuringStartup when the node exits first (before this wait began, too), CookieTimeout
    // (the node is left running: the caller ends it), or Cancelled.
    std::filesystem::path waitForCookie(std::chrono::steady_clock::duration timeout,
                                        std::stop_token stop);

    // Why a node that was launched and then stopped answering is gone: once it has exited (waiting
    // up to `grace` for that), NodeProcessError ExitedDuringStartup with its exit status and
    // output tail. None while it runs on, or when its end was asked for. Throws Cancelled.
    std::optional<NodeProcessError> exitDuringStartup(std::chrono::steady_clock::duration grace,
                                                      std::stop_token stop);

    // Records that the system itself ends the node, so its coming end counts as requested.
    // No effect when no process is held.
    void markTerminationRequested();

    // Asks the node to end (SIGTERM) and waits until its end has been handled; a stop request
    // ends the wait early. No time limit, no SIGKILL. Returns at once when no process is held.
    void terminate(std::stop_token stop = {}) noexcept;

    // Waits until no process is held; returns the last reason (requested when none recorded).
    // Throws Cancelled.
    NodeTerminationReason waitForTermination(std::stop_token stop);

    // The event log's lines since the last call about what stood where the launch record goes
    // and was set aside before the record was written. Thread-safe.
    std::vector<std::string> takeNotices();

  private:
    // With the node exited: waits (up to exitHandledWait) for its output to be drained, then
    // returns its status and output tail.
    NodeProcessError::ExitedDuringStartup exitRecord(std::unique_lock<std::mutex>& lock,
                                                     std::stop_token stop);
    void recordLaunch();
    void forgetLaunch();
    void watch(int pidfd, int outputFd);
    void appendOutput(std::string_view bytes);
    void drainRemainingOutput(int outputFd);

    const std::filesystem::path binaryURL_;
    const NodeConfiguration configuration_;
    const std::optional<BitcoindRelease> expectedRelease_;
    const NodeProcessTimings timings_;

    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool starting_ = false;
    std::unique_ptr<ChildProcess> process_;  // held until its end has been handled
    bool exited_ = false;
    std::int32_t exitStatus_ = 0;
    std::unique_ptr<OutputTail> output_;
    bool requestedTermination_ = false;
    std::optional<NodeTerminationReason> lastTerminationReason_;
    std::unique_ptr<const ProcessIdentity> recorded_;  // the node the launch record names
    std::vector<std::string> notices_;
    std::atomic<std::int64_t> outputHandlerInvocations_{0};

    std::jthread watcher_;  // one per launch: reads the output, observes the end
};

}  // namespace corvanta
