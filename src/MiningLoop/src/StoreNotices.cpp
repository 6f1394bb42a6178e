#include "StoreNotices.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta::loop {

MiningEventHandler sayingStoreNoticesOnce(MiningEventHandler onEvent) {
    struct Said {
        std::mutex mutex;
        std::set<std::string> messages;
    };
    auto said = std::make_shared<Said>();
    return [onEvent = std::move(onEvent), said](const MiningEvent& event) {
        if (const auto* problem = std::get_if<mining_event::StoreNotice>(&event)) {
            std::lock_guard lock(said->mutex);
            if (!said->messages.insert(problem->message).second) return;
        }
        onEvent(event);
    };
}

mining_event::StoreNotice writeProblem(const std::filesystem::path& folder,
                                       const FileWriteError& error, std::string_view kept) {
    const std::string keptText =
        "; " + std::string(kept) + " are kept in memory until they can be written.";
    if (error.isDiskFull()) {
        return {"Cannot write to " + folder.string() + ": disk full" + keptText, folder.string()};
    }
    return {"Cannot write to " + folder.string() + ": " + error.what() + keptText, std::nullopt};
}

void reportWalk(const HistoryReconciliation::Walk& walk, const MiningEventHandler& onEvent) {
    for (const auto& block : walk.added) {
        onEvent(mining_event::StoreNotice{
            "Block at height " + std::to_string(block.height) +
                ", missing from the history, found on the chain with this installation's mark: "
                "added.",
            std::nullopt});
    }
}

mining_event::StoreNotice walkRecordProblem(
    const std::filesystem::path& file, const HistoryReconciliation::WalkPlacesReading& reading) {
    const auto head = "Record of how far the chain was checked for this installation's blocks, " +
                      file.string() + ", could not be read (" + reading.problem.value_or("") + ")";
    if (reading.setAside) {
        return {head + "; it was set aside as " + reading.setAside->string() + ".", std::nullopt};
    }
    return {head + "; it could not be set aside, and is left as it is and not written over.",
            std::nullopt};
}

void reportHistoryFiles(const MiningHistoryStore& history, const MiningEventHandler& onEvent) {
    if (const auto reason = history.unreadableReason()) {
        onEvent(mining_event::StoreNotice{
            "History unreadable: " + *reason +
                ". It is left as it is; found blocks are kept in memory until it can be read.",
            std::nullopt});
    }
    for (const auto& notice : history.setAsideNotices()) {
        onEvent(mining_event::StoreNotice{notice, std::nullopt});
    }
}

}  // namespace corvanta::loop
