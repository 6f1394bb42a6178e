#include "corvanta/node/NodeController.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "LeftoverNode.h"
#include "LinkedStop.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

// bitcoind's answer while its own start-up (block index, chain state...) is still running.
constexpr int kStillLoading = -28;

std::int64_t asCount(const json::Value& result) {
    return json::as<std::int64_t>(result);
}

double seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

const RPCTransportError::Network* networkFailure(const RPCTransportError& error) {
    return std::get_if<RPCTransportError::Network>(&error.kind());
}

// Refused, dropped, or turned away with 503 (bitcoind's answer while its HTTP server shuts
// down): what a node that is dying, or has died, does to a call.
bool mayBeGoingAway(const RPCTransportError& error) {
    if (const auto* status = std::get_if<RPCTransportError::HttpStatus>(&error.kind())) {
        return status->status == 503;
    }
    const auto* network = networkFailure(error);
    return network != nullptr && network->cannotConnect;
}

}  // namespace

// Counts a start or restart from its first step to its last, so stop() can let it finish
// cleaning up (ending the node it launched) before stopping the node itself.
class NodeController::StartInFlight {
  public:
    explicit StartInFlight(NodeController& owner) : owner_(owner) {
        const std::lock_guard lock(owner_.mutex_);
        ++owner_.startsInFlight_;
    }
    ~StartInFlight() {
        {
            const std::lock_guard lock(owner_.mutex_);
            --owner_.startsInFlight_;
        }
        owner_.startsEnded_.notify_all();
    }
    StartInFlight(const StartInFlight&) = delete;
    StartInFlight& operator=(const StartInFlight&) = delete;

  private:
    NodeController& owner_;
};

NodeController::NodeController(std::filesystem::path binaryURL, NodeConfiguration configuration,
                               std::optional<BitcoindRelease> expectedRelease,
                               NodeControllerTimings timings)
    : configuration_(configuration),
      timings_(timings),
      node_(std::move(binaryURL), std::move(configuration), std::move(expectedRelease),
            timings.process) {}

std::shared_ptr<const RPCClient> NodeController::currentClient() const {
    const std::lock_guard lock(mutex_);
    return client_;
}

bool NodeController::isStopped() const {
    return !node_.isRunning();
}

std::shared_ptr<const RPCClient> NodeController::startAndConnect(
    std::chrono::steady_clock::duration cookieTimeout,
    std::chrono::steady_clock::duration warmupTimeout, std::stop_token stop) {
    const StartInFlight inFlight(*this);
    const LinkedStop linked(stop, stopLatch_.get_token());
    return connect(cookieTimeout, warmupTimeout, linked.token(), stop);
}

std::shared_ptr<const RPCClient> NodeController::connect(
    std::chrono::steady_clock::duration cookieTimeout,
    std::chrono::steady_clock::duration warmupTimeout, std::stop_token stop,
    std::stop_token callerStop) {
    throwIfStopRequested(stop);
    stopLeftoverNode(stop);
    node_.start();
    try {
        // The digest check may have taken a while: a stop meanwhile must not go unheeded.
        throwIfStopRequested(stop);
        const auto cookie = node_.waitForCookie(cookieTimeout, stop);
        auto client = std::make_shared<const RPCClient>(configuration_.rpcEndpoint(),
                                                        readCookie(cookie, stop));
        waitUntilWarmedUp(*client, warmupTimeout, stop);
        const std::lock_guard lock(mutex_);
        // stop() latches before it takes the client: a client kept after the latch would
        // outlive the stop.
        if (stopLatch_.stop_requested()) throw Cancelled();
        client_ = client;
        return client;
    } catch (...) {
        // Only the caller's own stop cuts this wait short; after the controller's stop the
        // node must be gone before stop() goes on.
        node_.terminate(callerStop);
        throw;
    }
}

// A node an earlier launch left on the data folder would hold it: it is stopped first, as cleanly
// as a stop of ours. One that will not go is left, and the launch reports the folder taken.
void NodeController::stopLeftoverNode(std::stop_token stop) {
    const auto& release = node_.expectedRelease();
    const auto expectedSha256 =
        release ? std::optional<std::string>(release->sha256) : std::nullopt;
    if (auto leftover = LeftoverNode::find(configuration_, node_.binaryURL(), expectedSha256)) {
        leftover->stop(timings_.stopGrace, timings_.stopPoll, timings_.rpcTimeoutSeconds, stop);
    }
}

std::vector<std::string> NodeController::takeNotices() {
    return node_.takeNotices();
}

RPCCredentials NodeController::readCookie(const std::filesystem::path& cookie,
                                          std::stop_token stop) {
    try {
        return RPCCredentials::readingCookie(cookie);
    } catch (const RPCTransportError& error) {
        // A node that gives up right after writing its cookie removes it on the way out.
        if (std::holds_alternative<RPCTransportError::CookieUnreadable>(error.kind())) {
            if (auto exited = node_.exitDuringStartup(timings_.process.exitHandledWait, stop)) {
                throw *exited;
            }
        }
        throw;
    }
}

void NodeController::waitUntilWarmedUp(const RPCClient& client,
                                       std::chrono::steady_clock::duration warmupTimeout,
                                       std::stop_token stop) {
    const auto started = std::chrono::steady_clock::now();
    const auto limit = started + std::max(warmupTimeout, timings_.warmupLimit);
    const auto silenceLimit = started + warmupTimeout;
    // One call that gets no answer at all within the warm-up timeout ends the wait.
    const double callTimeout = std::min(timings_.rpcTimeoutSeconds, seconds(warmupTimeout));
    for (;;) {
        try {
            client.call("getblockcount", {}, callTimeout, stop, asCount);
            return;
        } catch (const RPCError& error) {
            if (error.code() != kStillLoading) throw;
            if (std::chrono::steady_clock::now() >= limit) {
                throw NodeProcessError(NodeProcessError::WarmupTimeout{});
            }
        } catch (const RPCTransportError& error) {
            const auto* network = networkFailure(error);
            if (network != nullptr && network->timedOut) {
                throw NodeProcessError(NodeProcessError::WarmupTimeout{});
            }
            if (!mayBeGoingAway(error)) throw;
            // A node that died says why; one still running is not answering yet.
            if (auto exited = node_.exitDuringStartup({}, stop)) throw *exited;
            if (std::chrono::steady_clock::now() >= silenceLimit) {
                throw NodeProcessError(NodeProcessError::WarmupTimeout{});
            }
        }
        sleepOrThrow(timings_.warmupRetry, stop);
    }
}

std::shared_ptr<const RPCClient> NodeController::requireClient() const {
    auto client = currentClient();
    if (!client) throw NodeProcessError(NodeProcessError::NotRunning{});
    return client;
}

ChainStatus NodeController::status(std::stop_token stop) const {
    return requireClient()->call("getblockchaininfo", {}, timings_.rpcTimeoutSeconds,
                                 std::move(stop), ChainStatus::fromJson);
}

std::int64_t NodeController::peerCount(std::stop_token stop) const {
    return requireClient()->call("getconnectioncount", {}, timings_.rpcTimeoutSeconds,
                                 std::move(stop), asCount);
}

void NodeController::awaitReadyToMine(std::chrono::steady_clock::duration pollInterval,
                                      const std::function<void(const ChainStatus&)>& onProgress,
                                      std::stop_token stop) {
    const LinkedStop linked(std::move(stop), stopLatch_.get_token());
    const std::stop_token token = linked.token();
    for (;;) {
        throwIfStopRequested(token);
        try {
            const ChainStatus current = status(token);
            if (onProgress) onProgress(current);
            if (current.isReadyToMine()) {
                if (configuration_.network == BitcoinNetwork::regtest) return;
                if (peerCount(token) >= 1) return;
            }
        } catch (const RPCTransportError& error) {
            // Such a node is usually on its way out: give it a moment to end, so the user
            // reads its own reason instead of a transport error.
            if (!mayBeGoingAway(error)) throw;
            if (auto exited = node_.exitDuringStartup(timings_.process.exitHandledWait, token)) {
                throw *exited;
            }
            throw;
        }
        sleepOrThrow(pollInterval, token);
    }
}

void NodeController::stop() noexcept {
    stopLatch_.request_stop();
    std::shared_ptr<const RPCClient> client;
    {
        std::unique_lock lock(mutex_);
        startsEnded_.wait(lock, [&] { return startsInFlight_ == 0; });
        client = std::exchange(client_, nullptr);
    }
    // Whatever ends the node from here on was asked for, even an exit on the RPC "stop".
    node_.markTerminationRequested();
    bool stopDelivered = false;
    if (client) {
        try {
            client->call("stop", {}, timings_.rpcTimeoutSeconds, {});
            stopDelivered = true;
        } catch (...) {
            // The node is gone or not answering: SIGTERM below does the same shutdown.
        }
    }
    if (stopDelivered) {
        const auto deadline = std::chrono::steady_clock::now() + timings_.stopGrace;
        while (node_.isRunning() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(timings_.stopPoll);
        }
    }
    node_.terminate();
}

std::shared_ptr<const RPCClient> NodeController::restart(
    std::chrono::steady_clock::duration cookieTimeout,
    std::chrono::steady_clock::duration warmupTimeout, std::stop_token stop) {
    const StartInFlight inFlight(*this);
    const LinkedStop linked(stop, stopLatch_.get_token());
    throwIfStopRequested(linked.token());
    node_.terminate(linked.token());
    {
        const std::lock_guard lock(mutex_);
        client_.reset();
    }
    return connect(cookieTimeout, warmupTimeout, linked.token(), stop);
}

std::int32_t NodeController::waitForUnexpectedTermination(std::stop_token stop) {
    for (;;) {
        const NodeTerminationReason reason = node_.waitForTermination(stop);
        if (const auto* ended = std::get_if<NodeTerminationReason::Unexpected>(&reason.value)) {
            return ended->status;
        }
        if (!node_.isRunning()) sleepOrThrow(timings_.terminationRecheck, stop);
    }
}

}  // namespace corvanta
