#include "corvanta/loop/NodeControllerSupervisor.h"

namespace corvanta {

NodeControllerSupervisor::NodeControllerSupervisor(std::shared_ptr<NodeController> controller)
    : controller_(std::move(controller)) {}

std::int32_t NodeControllerSupervisor::waitForUnexpectedTermination(std::stop_token stop) {
    return controller_->waitForUnexpectedTermination(stop);
}

std::shared_ptr<const RPCClient> NodeControllerSupervisor::restart(
    std::chrono::milliseconds cookieTimeout, std::chrono::milliseconds warmupTimeout,
    std::stop_token stop) {
    return controller_->restart(cookieTimeout, warmupTimeout, stop);
}

void NodeControllerSupervisor::awaitReadyToMine(
    std::chrono::milliseconds pollInterval,
    const std::function<void(const ChainStatus&)>& onProgress, std::stop_token stop) {
    // A regtest node leaves initial block download only once a block is mined on it, so after a
    // restart on a chain whose tip is old (a fresh one, say) the wait would never end. The session
    // mines on regtest at once; after a restart it is enough that the node answers.
    if (controller_->configuration().network == BitcoinNetwork::regtest) {
        const auto status = controller_->status(stop);
        if (onProgress) onProgress(status);
        return;
    }
    controller_->awaitReadyToMine(pollInterval, onProgress, stop);
}

}  // namespace corvanta
