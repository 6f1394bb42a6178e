#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>

#include "corvanta/assembly/MiningJob.h"
#include "corvanta/node/ChainStatus.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {

// The mining loop's only source of work.
class TemplateSource {
  public:
    virtual ~TemplateSource() = default;
    // The node's template now, as a job.
    virtual MiningJob current(std::stop_token stop) = 0;
    // Long-polls until the node's template differs from the one `longPollID` names.
    virtual MiningJob waitForChange(const std::optional<std::string>& longPollID,
                                    std::stop_token stop) = 0;
    // Switches to another client after a node restart; by default nothing changes.
    virtual void adopt(std::shared_ptr<const RPCClient> client) { (void)client; }
};

// How the loop watches and restarts its node.
class NodeSupervising {
  public:
    virtual ~NodeSupervising() = default;
    // The exit code of a node process that ended without having been asked to stop.
    virtual std::int32_t waitForUnexpectedTermination(std::stop_token stop) = 0;
    virtual std::shared_ptr<const RPCClient> restart(std::chrono::milliseconds cookieTimeout,
                                                     std::chrono::milliseconds warmupTimeout,
                                                     std::stop_token stop) = 0;
    virtual void awaitReadyToMine(std::chrono::milliseconds pollInterval,
                                  const std::function<void(const ChainStatus&)>& onProgress,
                                  std::stop_token stop) = 0;
};

inline constexpr int defaultNodeRestartAttemptLimit = 6;
inline constexpr std::chrono::milliseconds defaultNodeRestartInitialBackoff{1000};

// The loop gave up on a node that could not be restarted.
class NodeAbandonedError : public std::runtime_error {
  public:
    NodeAbandonedError(int attempts, std::string lastError);
    int attempts() const { return attempts_; }
    const std::string& lastError() const { return lastError_; }
    bool operator==(const NodeAbandonedError& other) const {
        return attempts_ == other.attempts_ && lastError_ == other.lastError_;
    }

  private:
    int attempts_;
    std::string lastError_;
};

}  // namespace corvanta
