#include "corvanta/loop/TemplateWatcher.h"

#include "corvanta/assembly/BlockTemplate.h"

namespace corvanta {

TemplateWatcher::TemplateWatcher(std::shared_ptr<const RPCClient> client,
                                 CoinbasePayoutPlan payoutPlan, double longPollTimeout)
    : client_(std::move(client)),
      payoutPlan_(std::move(payoutPlan)),
      longPollTimeout_(longPollTimeout) {}

std::shared_ptr<const RPCClient> TemplateWatcher::client() const {
    std::lock_guard lock(mutex_);
    return client_;
}

MiningJob TemplateWatcher::current(std::stop_token stop) {
    const auto client = this->client();
    const auto blockTemplate =
        BlockTemplate::fetch(*client, std::nullopt, stop, BlockTemplate::fetchTimeoutSeconds);
    return MiningJob(blockTemplate, payoutPlan_);
}

MiningJob TemplateWatcher::waitForChange(const std::optional<std::string>& longPollID,
                                         std::stop_token stop) {
    const auto client = this->client();
    const auto blockTemplate = BlockTemplate::fetch(*client, longPollID, stop, longPollTimeout_);
    return MiningJob(blockTemplate, payoutPlan_);
}

void TemplateWatcher::adopt(std::shared_ptr<const RPCClient> client) {
    std::lock_guard lock(mutex_);
    client_ = std::move(client);
}

}  // namespace corvanta
