#include "corvanta/loop/TemplateWatcher.h"

#include "corvanta/assembly/BlockTemplate.h"

namespace corvanta {

TemplateRules templateRules(BitcoinNetwork network) {
    return network == BitcoinNetwork::signet ? TemplateRules::segwitAndSignet
                                             : TemplateRules::segwit;
}

TemplateWatcher::TemplateWatcher(std::shared_ptr<const RPCClient> client,
                                 CoinbasePayoutPlan payoutPlan, TemplateRules rules,
                                 double longPollTimeout)
    : client_(std::move(client)),
      payoutPlan_(std::move(payoutPlan)),
      rules_(rules),
      longPollTimeout_(longPollTimeout) {}

std::shared_ptr<const RPCClient> TemplateWatcher::client() const {
    std::lock_guard lock(mutex_);
    return client_;
}

MiningJob TemplateWatcher::current(std::stop_token stop) {
    const auto client = this->client();
    const auto blockTemplate = BlockTemplate::fetch(*client, rules_, std::nullopt, stop,
                                                    BlockTemplate::fetchTimeoutSeconds);
    return MiningJob(blockTemplate, payoutPlan_, rules_);
}

MiningJob TemplateWatcher::waitForChange(const std::optional<std::string>& longPollID,
                                         std::stop_token stop) {
    const auto client = this->client();
    const auto blockTemplate =
        BlockTemplate::fetch(*client, rules_, longPollID, stop, longPollTimeout_);
    return MiningJob(blockTemplate, payoutPlan_, rules_);
}

void TemplateWatcher::adopt(std::shared_ptr<const RPCClient> client) {
    std::lock_guard lock(mutex_);
    client_ = std::move(client);
}

}  // namespace corvanta
