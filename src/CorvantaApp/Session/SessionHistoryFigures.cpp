// The history's figures as the model shows them: read from the store the session records into.
#include "Session/SessionModelInternals.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta {

void MiningSessionModel::refreshHistoryFigures() {
    if (!widgetHistory_) return;
    if (historyFiguresReading_) {
        historyFiguresWanted_ = true;
        return;
    }
    historyFiguresReading_ = true;
    historyFiguresWanted_ = false;
    const auto landed = [this] {
        historyFiguresReading_ = false;
        if (historyFiguresWanted_) refreshHistoryFigures();
    };
    offload<MiningHistoryStore::Summary>(
        *pool_, [store = widgetHistory_] { return store->summary(persistedHistoryKept); },
        [this, landed](MiningHistoryStore::Summary summary) {
            // Until the store has read its file its figures are only what was recorded since.
            if (!summary.loaded) return landed();
            setPersistedHistoryTotalSats(summary.totalAcceptedRewardSats);
            setPersistedHistory(std::move(summary.newest), std::int64_t(summary.count));
            landed();
        },
        landed);
}

}  // namespace corvanta
