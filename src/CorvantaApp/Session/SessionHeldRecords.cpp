// What a full disk left in memory, written once its folder has room again.
#include "Session/SessionInternals.h"

namespace corvanta {

void SessionDriver::saveHeldRecordsWhenRoom(const SessionPtr& session) {
    if (!isLive(session) || !session->miner || session->savingHeldRecords) return;
    if (!model_.diskFullFolderHasRoom()) return;
    session->savingHeldRecords = true;
    // The alert says found blocks wait in memory: it stays until they are on disk, since a crash
    // before that would still lose them.
    later<bool>(
        session, [miner = session->miner] { return miner->saveHeldRecords(); },
        [this, session](bool saved) {
            session->savingHeldRecords = false;
            if (!isLive(session) || !saved) return;
            model_.setDiskFullAlert(std::nullopt);
            refreshHistorySummary(session);
        });
}

}  // namespace corvanta
