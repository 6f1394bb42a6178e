#pragma once

#include <memory>
#include <mutex>

#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/assembly/TemplateRules.h"
#include "corvanta/loop/LoopProtocols.h"
#include "corvanta/node/BitcoinNetwork.h"

namespace corvanta {

// The rules a node of `network` needs its template requests and proposals to name.
TemplateRules templateRules(BitcoinNetwork network);

// Turns the node's current and changed templates into jobs: exactly one template request and one
// job construction per call, no cache, no retry; every failure goes back to the caller.
class TemplateWatcher final : public TemplateSource {
  public:
    TemplateWatcher(std::shared_ptr<const RPCClient> client, CoinbasePayoutPlan payoutPlan,
                    TemplateRules rules, double longPollTimeout);

    MiningJob current(std::stop_token stop) override;
    MiningJob waitForChange(const std::optional<std::string>& longPollID,
                            std::stop_token stop) override;
    // Calls already in flight finish on the client they started with.
    void adopt(std::shared_ptr<const RPCClient> client) override;

    const CoinbasePayoutPlan& payoutPlan() const { return payoutPlan_; }
    double longPollTimeout() const { return longPollTimeout_; }

  private:
    std::shared_ptr<const RPCClient> client() const;

    mutable std::mutex mutex_;
    std::shared_ptr<const RPCClient> client_;
    const CoinbasePayoutPlan payoutPlan_;
    const TemplateRules rules_;
    const double longPollTimeout_;
};

}  // namespace corvanta
