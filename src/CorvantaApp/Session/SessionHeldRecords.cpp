// What a full disk left in memory, written once its folder has room again.
#include "Session/HeldRecords.h"
#include "Session/SessionInternals.h"

namespace corvanta {

bool folderHasRoomForBlocks(const std::filesystem::path& folder) {
    // Room for the largest block's pending file and its history line, not merely a few bytes: a
    // folder that frees a little and fills again at the next block would hide the alert while
    // blocks still wait in memory. A file system smaller than that has room once half of it is
    // free.
    constexpr std::uintmax_t room = 16u << 20;
    std::error_code error;
    const auto space = std::filesystem::space(folder, error);
    return !error && space.available >= std::min(room, space.capacity / 2);
}

void SessionDriver::saveHeldRecordsWhenRoom(const SessionPtr& session) {
    if (!isLive(session) || !session->miner || session->savingHeldRecords) return;
    if (!model_.diskFullFolder_ || !folderHasRoomForBlocks(*model_.diskFullFolder_)) return;
    session->savingHeldRecords = true;
    // The alert says found blocks wait in memory: it stays until they are on disk, since a crash
    // before that would still lose them.
    later<bool>(
        session, [miner = session->miner] { return saveHeldRecords(*miner); },
        [this, session](bool saved) {
            session->savingHeldRecords = false;
            if (!isLive(session) || !saved) return;
            model_.setDiskFullAlert(std::nullopt);
            model_.refreshHistoryFigures();
        });
}

}  // namespace corvanta
