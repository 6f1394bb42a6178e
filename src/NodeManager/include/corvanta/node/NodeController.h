#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/node/BinaryLocator.h"
#include "corvanta/node/ChainStatus.h"
#include "corvanta/node/NodeConfiguration.h"
#include "corvanta/node/NodeProcess.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {

struct NodeControllerTimings {
    // What the session passes to startAndConnect / restart / awaitReadyToMine.
    std::chrono::steady_clock::duration cookieTimeout = std::chrono::seconds(60);
    std::chrono::steady_clock::duration warmupTimeout = std::chrono::seconds(30);
    std::chrono::steady_clock::duration readyPollInterval = std::chrono::seconds(2);

    // A node that keeps answering "still loading" (-28) is making progress: it is waited for up
    // to this long in all, however short the warm-up timeout.
    std::chrono::steady_clock::duration warmupLimit = std::chrono::minutes(15);
    std::chrono::steady_clock::duration warmupRetry = std::chrono::milliseconds(200);
    // After a delivered RPC "stop", how long the node gets to exit before SIGTERM.
    std::chrono::steady_clock::duration stopGrace = std::chrono::seconds(60);
    std::chrono::steady_clock::duration stopPoll = std::chrono::milliseconds(200);
    // How often waitForUnexpectedTermination looks again while no node runs.
    std::chrono::steady_clock::duration terminationRecheck = std::chrono::seconds(5);
    // Timeout of every RPC call.
    double rpcTimeoutSeconds = 30;

    NodeProcessTimings process;
};

// The one object through which the system runs its Bitcoin node: starts it and connects an
// RPCClient once it has warmed up, reports chain status and peers, waits until it is ready to
// mine, stops and restarts it, and watches for it dying on its own. Thread-safe; no lock is held
// across a blocking call, so stop() can run while a start is waiting.
//
// A stop always wins: stop() latches, so a start, readiness wait or restart in flight or begun
// later ends with Cancelled, and stop() returns only once such a start has cleaned up after
// itself and the node has ended.
class NodeController {
  public:
    NodeController(std::filesystem::path binaryURL, NodeConfiguration configuration,
                   std::optional<BitcoindRelease> expectedRelease,
                   NodeControllerTimings timings = {});
    NodeController(const NodeController&) = delete;
    NodeController& operator=(const NodeController&) = delete;

    const NodeControllerTimings& timings() const { return timings_; }
    const NodeConfiguration& configuration() const { return configuration_; }
    // Read-only view of the node process (its output tail, its last end).
    const NodeProcess& node() const { return node_; }

    // The connected client; none before a successful start and after a stop.
    std::shared_ptr<const RPCClient> currentClient() const;
    // No node process, or one that has exited.
    bool isStopped() const;

    // Launches the node, waits for its cookie, connects and waits out its warm-up. A node of ours
    // that an earlier launch left running on the data folder (its launcher gone) is stopped
    // first, as stop() would; a folder held by anything else is a LockConflict. Any failure
    // after the launch ends the node before it is thrown: NodeProcessError (WarmupTimeout when
    // the node answers nothing at all within `warmupTimeout`, or is still loading after the
    // warm-up limit; ExitedDuringStartup, with its exit status and output, when it dies before or
    // during the warm-up), BinaryIntegrityError, RPCError, RPCTransportError, platform errors, or
    // Cancelled (the caller's stop or the controller's). A refused or dropped connection, or an
    // HTTP 503, from a node still running counts as not answering yet.
    std::shared_ptr<const RPCClient> startAndConnect(
        std::chrono::steady_clock::duration cookieTimeout,
        std::chrono::steady_clock::duration warmupTimeout, std::stop_token stop);

    // RPC "getblockchaininfo". NodeProcessError NotRunning without a client; RPC errors pass.
    ChainStatus status(std::stop_token stop) const;
    // RPC "getconnectioncount".
    std::int64_t peerCount(std::stop_token stop) const;

    // Polls the chain status until the node is synced (and, except on regtest, has a peer),
    // handing each status to `onProgress` (which must not block). Ends with NotRunning without a
    // client, at once on any RPC error, or with Cancelled; when the node refuses the connection
    // (or answers 503) because it is dying, with ExitedDuringStartup and its last words.
    void awaitReadyToMine(std::chrono::steady_clock::duration pollInterval,
                          const std::function<void(const ChainStatus&)>& onProgress,
                          std::stop_token stop);

    // Stops the node for good: RPC "stop" then up to the stop grace for it to exit when that
    // call went through, SIGTERM at once otherwise; returns once the node has ended. Never throws.
    void stop() noexcept;

    // Ends the node (SIGTERM, no grace) and starts it again as startAndConnect does.
    std::shared_ptr<const RPCClient> restart(std::chrono::steady_clock::duration cookieTimeout,
                                             std::chrono::steady_clock::duration warmupTimeout,
                                             std::stop_token stop);

    // Waits until a node of this controller ends on its own and returns its exit status (or the
    // number of the signal that ended it). Ends the system requested itself are passed over.
    // Throws Cancelled.
    std::int32_t waitForUnexpectedTermination(std::stop_token stop);

    // The event log's lines about the files beside the node's data folder since the last call (a
    // launch record set aside). Thread-safe.
    std::vector<std::string> takeNotices();

  private:
    class StartInFlight;

    std::shared_ptr<const RPCClient> connect(std::chrono::steady_clock::duration cookieTimeout,
                                             std::chrono::steady_clock::duration warmupTimeout,
                                             std::stop_token stop, std::stop_token callerStop);
    void stopLeftoverNode(std::stop_token stop);
    RPCCredentials readCookie(const std::filesystem::path& cookie, std::stop_token stop);
    void waitUntilWarmedUp(const RPCClient& client,
                           std::chrono::steady_clock::duration warmupTimeout, std::stop_token stop);
    std::shared_ptr<const RPCClient> requireClient() const;

    const NodeConfiguration configuration_;
    const NodeControllerTimings timings_;
    NodeProcess node_;

    mutable std::mutex mutex_;
    std::condition_variable startsEnded_;
    std::shared_ptr<const RPCClient> client_;
    int startsInFlight_ = 0;
    std::stop_source stopLatch_;
};

}  // namespace corvanta
