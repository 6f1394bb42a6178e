#include "Session/SessionMiner.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/NodeControllerSupervisor.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {

namespace {

class CoordinatorMiner final : public SessionMiner {
  public:
    explicit CoordinatorMiner(const SessionMinerParts& parts)
        : coordinator_(std::make_shared<TemplateWatcher>(
                           parts.client, CoinbasePayoutPlan::everythingToMiner(parts.payoutScript),
                           BlockTemplate::longPollTimeoutSeconds),
                       parts.engine, parts.client,
                       std::make_shared<NodeControllerSupervisor>(parts.controller),
                       defaultNodeRestartAttemptLimit, defaultNodeRestartInitialBackoff,
                       parts.rejectedBlockDirectory, BestDifficultyStore(parts.bestDifficultyFile),
                       std::make_shared<MiningHistoryStore>(parts.historyFile)) {}

    void run(MiningEventHandler onEvent) override { coordinator_.run(std::move(onEvent)); }
    void stop() override { coordinator_.stop(); }
    std::shared_ptr<MiningHistoryStore> historyStore() const override {
        return coordinator_.historyStore();
    }

  private:
    MiningCoordinator coordinator_;
};

}  // namespace

std::shared_ptr<SessionMiner> makeCoordinatorMiner(const SessionMinerParts& parts) {
    return std::make_shared<CoordinatorMiner>(parts);
}

}  // namespace corvanta
