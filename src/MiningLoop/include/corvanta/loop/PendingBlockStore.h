#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "corvanta/assembly/BlockSubmission.h"
#include "corvanta/support/IsoDate.h"

namespace corvanta {

// A found block kept on disk from the moment its header met the target until the node has given
// its verdict, so that a crash, a dead node or a failed submission never loses it.
struct PendingBlock {
    std::int64_t height = 0;
    std::string blockHashHex;     // display order (hash bytes reversed), 64 lower-case digits
    std::string blockHex;         // the serialized block
    std::string coinbaseTxIDHex;  // display order, 64 lower-case digits
    std::int64_t rewardSats = 0;
    WholeSeconds foundAt{};

    static PendingBlock fromOutcome(const MiningOutcome& outcome, std::int64_t height,
                                    WallClock::time_point foundAt);

    // "pending-<height>-<first 16 characters of the hash>.json"
    std::string fileName() const;
    // True when every field is fit to go into a file name and to a node: 64-digit hashes, an
    // even-length hexadecimal block, a height of at least 0.
    bool isWellFormed() const;

    bool operator==(const PendingBlock&) const = default;
};

// A pending block together with the file it was read from: a file is always removed by the path
// it was loaded from, so a file whose name does not match its contents still goes away.
struct LoadedPendingBlock {
    PendingBlock block;
    std::filesystem::path file;
};

namespace PendingBlockStore {

// Stores one pending block (compact JSON, sorted keys), durably. Throws FileWriteError.
void write(const PendingBlock& block, const std::filesystem::path& directory);

// Deletes the block's file; never fails.
void remove(const PendingBlock& block, const std::filesystem::path& directory);
void remove(const LoadedPendingBlock& loaded);

// The most a pending file can hold: a block of the largest size the chain allows (4,000,000 bytes,
// in hexadecimal) and the record's other fields.
inline constexpr std::size_t kFileBound = 2 * 4'000'000 + 4096;

// A "pending-*.json" file that holds no pending block that could be resubmitted, and why.
struct RefusedFile {
    std::filesystem::path file;
    std::string reason;
};
struct FolderReading {
    std::vector<LoadedPendingBlock> blocks;  // oldest first (stable)
    std::vector<RefusedFile> refused;
};
// Every pending block in the directory, and the pending files it cannot take: not a regular file
// (a link, a FIFO, a folder), past kFileBound, undecodable, or a block that is no find (see
// decode). Each file is read once, bounded on its open descriptor, never blocking. Touches
// nothing; never fails (a folder that cannot be listed holds nothing).
FolderReading read(const std::filesystem::path& directory);
// The blocks of read().
std::vector<LoadedPendingBlock> load(const std::filesystem::path& directory);

// Hands the stored block to the node again ("submitblock", 30 s) and reads its verdict. RPC and
// transport errors are thrown unchanged.
SubmissionResult resubmit(const PendingBlock& block, const RPCClient& client, std::stop_token stop);

// The verdict, and whether the node took the block as new to it (its null answer, or
// "inconclusive": stored but not made the tip) rather than already having it ("duplicate",
// "duplicate-inconclusive") or refusing it.
struct Resubmission {
    SubmissionResult result;
    bool newToNode = false;
};
Resubmission resubmitAndTell(const PendingBlock& block, const RPCClient& client,
                             std::stop_token stop);

std::string encode(const PendingBlock& block);
// Throws json::DecodeError on anything but a well-formed record whose block is a whole block (its
// transactions read to the end, their merkle root in the header), whose header hashes to its block
// hash and meets its own target, with a height within 0 to 2^31-1 and a reward within 0 to
// 21,000,000 BTC.
PendingBlock decode(std::string_view text);

}  // namespace PendingBlockStore

// A block the node refused, kept for later examination.
struct RejectedBlockRecord {
    std::int64_t height = 0;
    std::string reason;
    WholeSeconds timestamp{};
    std::string blockHex;
};

inline constexpr std::size_t kRejectedBlocksKept = 500;

// Writes "rejected-<height>-<milliseconds since 1970>-<discriminator>.json" (pretty-printed) and
// trims the folder to the newest 500 records. Throws FileWriteError, or std::filesystem errors of
// the rotation (the new record is then already on disk).
void recordRejectedBlock(const std::string& blockHex, std::int64_t height,
                         const std::string& reason, const std::string& discriminator,
                         const std::filesystem::path& directory);

// Deletes the oldest "rejected-*.json" files (by modification time) beyond `keeping`; nothing
// else in the folder is touched. Throws std::filesystem::filesystem_error when the folder cannot
// be listed or a date cannot be read (then nothing is deleted); failed deletions are skipped.
void rotateRejectedBlocks(const std::filesystem::path& directory, std::size_t keeping);

}  // namespace corvanta
