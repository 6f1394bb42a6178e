#pragma once

// What a full disk leaves in memory: found blocks whose records or pending files could not be
// written. The disk-full alert stays until they are on disk, not merely until there is room.

#include <filesystem>

namespace corvanta {

class SessionMiner;

// A loop that can write what its failed writes left in memory.
class HeldRecordsWriter {
  public:
    virtual ~HeldRecordsWriter() = default;
    // True once nothing is held in memory only. Blocks on disk and never throws.
    virtual bool saveHeldRecords() = 0;
};

// The loop's own writer when it has one, else its history store's save. Never throws.
bool saveHeldRecords(SessionMiner& miner);

// True when `folder` has room for the largest block's pending file and its history line again.
bool folderHasRoomForBlocks(const std::filesystem::path& folder);

}  // namespace corvanta
