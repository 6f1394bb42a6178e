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
    using HistoryReconciliation::HeightRange;
    const auto heights = [](const std::vector<HeightRange>& ranges) {
        std::string text = ranges.size() == 1 && ranges.front().first == ranges.front().last
                               ? "height "
                               : "heights ";
        for (std::size_t i = 0; i < ranges.size(); ++i) {
            if (i > 0) text += ", ";
            text += std::to_string(ranges[i].first);
            if (ranges[i].last != ranges[i].first) text += " to " + std::to_string(ranges[i].last);
        }
        return text;
    };
    // One line however many came back: a history rebuilt whole would push everything else out of
    // the event log.
    if (!walk.added.empty()) {
        const auto count = walk.added.size();
        onEvent(mining_event::StoreNotice{
            std::to_string(count) + (count == 1 ? " block" : " blocks") + " at " +
                heights({{walk.added.front().height, walk.added.back().height}}) +
                ", missing from the history, found on the chain with this installation's mark: "
                "added.",
            std::nullopt});
    }
    if (!walk.pruned.empty()) {
        onEvent(mining_event::StoreNotice{
            "The chain could not be checked for this installation's blocks at " +
                heights(walk.pruned) +
                ": the node has pruned them. Blocks of ours there, if any, are not added.",
            std::nullopt});
    }
}

mining_event::StoreNotice walkRecordProblem(
    const std::filesystem::path& file, const HistoryReconciliation::WalkPlaceReading& reading) {
    const auto head = "Record of how far the chain was checked for this installation's blocks, " +
                      file.string() + ", could not be read (" + reading.problem.value_or("") + ")";
    if (reading.setAside) {
        return {head + "; it was set aside as " + reading.setAside->string() + ".", std::nullopt};
    }
    return {head + "; it could not be set aside, and is left as it is and not written over.",
            std::nullopt};
}

void reportHistoryFiles(MiningHistoryStore& history, const MiningEventHandler& onEvent) {
    if (const auto reason = history.unreadableReason()) {
        onEvent(mining_event::StoreNotice{
            "History unreadable: " + *reason +
                ". It is left as it is; found blocks are kept in memory until it can be read.",
            std::nullopt});
    }
    for (const auto& notice : history.takeNotices()) {
        onEvent(mining_event::StoreNotice{notice, std::nullopt});
    }
}

}  // namespace corvanta::loop
