#include "Session/SessionMiner.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/loop/BlockOwnership.h"
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
        : CoordinatorMiner(parts,
                           BlockOwnership{parts.payoutScript,
                                          BlockOwnership::markForThisUser(parts.installationFolder,
                                                                          parts.payoutScript)}) {}

    void run(MiningEventHandler onEvent) override { coordinator_.run(std::move(onEvent)); }
    void stop() override { coordinator_.stop(); }
    std::shared_ptr<MiningHistoryStore> historyStore() const override {
        return coordinator_.historyStore();
    }
    bool saveHeldRecords() override { return coordinator_.saveHeldInMemory(); }

  private:
    CoordinatorMiner(const SessionMinerParts& parts, const BlockOwnership& ownership)
        : coordinator_(std::make_shared<TemplateWatcher>(parts.client, ownership.payoutPlan(),
                                                         BlockTemplate::longPollTimeoutSeconds),
                       parts.engine, parts.client,
                       std::make_shared<NodeControllerSupervisor>(parts.controller),
                       defaultNodeRestartAttemptLimit, defaultNodeRestartInitialBackoff,
                       parts.rejectedBlockDirectory, BestDifficultyStore(parts.bestDifficultyFile),
                       std::make_shared<MiningHistoryStore>(parts.historyFile), ownership,
                       parts.walkRecordFile) {}

    MiningCoordinator coordinator_;
};

}  // namespace

bool SessionMiner::saveHeldRecords() {
    const auto history = historyStore();
    if (!history) return true;
    try {
        history->saveIfUnsaved();
    } catch (const std::exception&) {
        return false;
    }
    return history->isSaved();
}

std::shared_ptr<SessionMiner> makeCoordinatorMiner(const SessionMinerParts& parts) {
    return std::make_shared<CoordinatorMiner>(parts);
}

}  // namespace corvanta
