#include "Session/HeldRecords.h"
#include "Session/SessionMiner.h"
#include "corvanta/assembly/BlockTemplate.h"
#include "corvanta/assembly/CoinbasePayoutPlan.h"
#include "corvanta/loop/BlockOwnership.h"
#include "corvanta/loop/InstallationRecord.h"
#include "corvanta/loop/MiningCoordinator.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/NodeControllerSupervisor.h"
#include "corvanta/loop/TemplateWatcher.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/node/NodeController.h"

#include <string>
#include <utility>
#include <vector>

namespace corvanta {

namespace {

// Whose blocks are ours: the marks derive from the key kept in the support folder, beside the
// stores (derived once from the user, the machine and the folder the found blocks are kept in),
// and the script each block pays. The same file keeps how deep this installation has mined on
// each network, so that a lost history is rebuilt from the chain as deep as that. How far the
// chain was walked for missed blocks is kept beside the node's own data, so it goes with that
// chain.
struct Ownership {
    BlockOwnership ownership;
    std::shared_ptr<InstallationRecord> installation;
    std::vector<std::string> notices;  // for the event log, once the loop runs
};

std::filesystem::path walkRecordOf(const SessionMinerParts& parts) {
    if (!parts.controller) return {};
    return parts.controller->configuration().dataDirectory / "found-blocks-walked.json";
}

bool holdsNothing(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    return std::filesystem::is_directory(status) &&
           std::filesystem::directory_iterator(path, error) ==
               std::filesystem::directory_iterator();
}

// No key, no history, no place of a walk, no pending or rejected block: this installation has
// never mined, so every start of mining it makes from now on is kept from the first. Anything
// left by an earlier version (which mined with these marks and kept no key) says otherwise.
bool neverMined(const SessionMinerParts& parts, const std::filesystem::path& supportFolder) {
    const auto historyFolder = parts.historyFile.parent_path();
    const auto walkRecord = walkRecordOf(parts);
    return holdsNothing(supportFolder / InstallationKey::fileName) && holdsNothing(historyFolder) &&
           holdsNothing(supportFolder / "MinerHistory.json") &&
           (walkRecord.empty() || holdsNothing(walkRecord)) &&
           holdsNothing(parts.rejectedBlockDirectory);
}

Ownership ownershipOf(const SessionMinerParts& parts) {
    if (parts.installation) {
        return {BlockOwnership::of(parts.installation->key(), parts.payoutScript),
                parts.installation,
                {}};
    }
    std::vector<std::string> notices;
    const auto historyFolder = parts.historyFile.parent_path();
    const auto supportFolder = historyFolder.parent_path();
    const bool fresh = neverMined(parts, supportFolder);
    auto key = InstallationKey::keptIn(supportFolder, historyFolder,
                                       [&](const std::string& line) { notices.push_back(line); });
    key.minedFromStart = key.minedFromStart || fresh;
    auto installation = std::make_shared<InstallationRecord>(supportFolder, key,
                                                             std::string(rawValue(parts.network)));
    if (parts.chainHeight) installation->meet(*parts.chainHeight);
    return {BlockOwnership::of(key, parts.payoutScript), std::move(installation),
            std::move(notices)};
}

class CoordinatorMiner final : public SessionMiner, public HeldRecordsWriter {
  public:
    explicit CoordinatorMiner(const SessionMinerParts& parts)
        : CoordinatorMiner(parts, ownershipOf(parts)) {}

    void run(MiningEventHandler onEvent) override {
        for (auto& notice : std::exchange(notices_, {})) {
            onEvent(mining_event::StoreNotice{std::move(notice), std::nullopt});
        }
        coordinator_.run(std::move(onEvent));
    }
    void stop() override { coordinator_.stop(); }
    std::shared_ptr<MiningHistoryStore> historyStore() const override {
        return coordinator_.historyStore();
    }
    bool saveHeldRecords() override { return coordinator_.saveHeldInMemory(); }

  private:
    CoordinatorMiner(const SessionMinerParts& parts, Ownership owned)
        : CoordinatorMiner(parts, owned.ownership, std::move(owned.installation),
                           std::move(owned.notices)) {}
    CoordinatorMiner(const SessionMinerParts& parts, const BlockOwnership& ownership,
                     std::shared_ptr<InstallationRecord> installation,
                     std::vector<std::string> notices)
        : notices_(std::move(notices)),
          coordinator_(std::make_shared<TemplateWatcher>(parts.client, ownership.payoutPlan(),
                                                         templateRules(parts.network),
                                                         BlockTemplate::longPollTimeoutSeconds),
                       parts.engine, parts.client,
                       std::make_shared<NodeControllerSupervisor>(parts.controller),
                       defaultNodeRestartAttemptLimit, defaultNodeRestartInitialBackoff,
                       parts.rejectedBlockDirectory, BestDifficultyStore(parts.bestDifficultyFile),
                       parts.history ? parts.history
                                     : std::make_shared<MiningHistoryStore>(
                                           parts.historyFile, MiningHistoryStore::unread),
                       ownership, walkRecordOf(parts), MiningLoopTimings{},
                       std::move(installation)) {}

    std::vector<std::string> notices_;
    MiningCoordinator coordinator_;
};

}  // namespace

bool saveHeldRecords(SessionMiner& miner) {
    if (auto* writer = dynamic_cast<HeldRecordsWriter*>(&miner)) return writer->saveHeldRecords();
    const auto history = miner.historyStore();
    if (!history) return true;
    try {
        history->saveIfUnsaved();
    } catch (const std::exception&) {
        return false;
    }
    return history->isSaved();
}

NetworkMeeting meetNetwork(SessionMinerParts parts, std::int64_t chainHeight) {
    parts.chainHeight = chainHeight;
    parts.installation = nullptr;
    auto owned = ownershipOf(parts);
    return {std::move(owned.installation), std::move(owned.notices)};
}

std::shared_ptr<SessionMiner> makeCoordinatorMiner(const SessionMinerParts& parts) {
    return std::make_shared<CoordinatorMiner>(parts);
}

}  // namespace corvanta
