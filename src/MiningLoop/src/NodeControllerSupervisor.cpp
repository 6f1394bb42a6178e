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
    controller_->awaitReadyToMine(pollInterval, onProgress, stop);
}

}  // namespace corvanta
