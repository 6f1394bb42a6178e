#pragma once

#include <memory>

#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/NodeController.h"

namespace corvanta {

// The node controller as the mining loop's node supervisor: each requirement forwards to the
// controller's operation of the same name, except that a regtest node counts as ready to mine as
// soon as it answers, as it does when a session starts.
class NodeControllerSupervisor final : public NodeSupervising {
  public:
    explicit NodeControllerSupervisor(std::shared_ptr<NodeController> controller);

    std::int32_t waitForUnexpectedTermination(std::stop_token stop) override;
    std::shared_ptr<const RPCClient> restart(std::chrono::milliseconds cookieTimeout,
                                             std::chrono::milliseconds warmupTimeout,
                                             std::stop_token stop) override;
    void awaitReadyToMine(std::chrono::milliseconds pollInterval,
                          const std::function<void(const ChainStatus&)>& onProgress,
                          std::stop_token stop) override;

  private:
    std::shared_ptr<NodeController> controller_;
};

}  // namespace corvanta
