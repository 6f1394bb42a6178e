#include "corvanta/loop/InstallationRecord.h"

#include <algorithm>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

void lower(std::optional<std::int64_t>& kept, std::int64_t height) {
    kept = kept ? std::min(*kept, height) : height;
}

void lower(std::map<ExtranonceMark, std::int64_t>& marks, const ExtranonceMark& mark,
           std::int64_t height) {
    const auto [kept, added] = marks.try_emplace(mark, height);
    if (!added) kept->second = std::min(kept->second, height);
}

}  // namespace

InstallationRecord::InstallationRecord(std::filesystem::path keyFolder, InstallationKey key,
                                       std::string network)
    : file_(std::move(keyFolder) / InstallationKey::fileName),
      network_(std::move(network)),
      key_(std::move(key)) {}

InstallationKey InstallationRecord::key() const {
    std::lock_guard lock(mutex_);
    return key_;
}

MinedOnNetwork InstallationRecord::mined() const {
    std::lock_guard lock(mutex_);
    const auto found = key_.mined.find(network_);
    return found == key_.mined.end() ? MinedOnNetwork{} : found->second;
}

bool InstallationRecord::meet(std::int64_t chainHeight) {
    std::lock_guard lock(mutex_);
    // Another start on this folder may have met it since this key was read.
    mergeFileLocked();
    if (key_.mined.contains(network_)) return true;
    key_.mined[network_] = {};
    firstJobIsFloor_ = key_.minedFromStart && chainHeight <= 0;
    return writeLocked();
}

bool InstallationRecord::noteMiningAt(const ExtranonceMark& mark, std::int64_t height) {
    std::lock_guard lock(mutex_);
    // Only the job right above the chain as it was met, which held nothing past its first block:
    // a chain that grew in between (a first sync after the folder was started over) may hold
    // blocks of ours below this job.
    if (height != 1) firstJobIsFloor_ = false;
    auto& record = key_.mined[network_];
    lower(record.marks, mark, height);
    if (record.floor) lower(record.floor, height);
    return writeLocked();
}

bool InstallationRecord::noteFloor(std::int64_t height) {
    std::lock_guard lock(mutex_);
    lower(key_.mined[network_].floor, height);
    return writeLocked();
}

bool InstallationRecord::writeLocked() {
    const bool mayWrite = mergeFileLocked();
    // Only once merged: what another start wrote meanwhile takes the first job away from the
    // floor (see mergeFileLocked).
    auto& record = key_.mined[network_];
    if (firstJobIsFloor_ && !record.marks.empty()) {
        for (const auto& [mark, height] : record.marks) lower(record.floor, height);
        firstJobIsFloor_ = false;  // the floor says it from now on
    }
    if (!mayWrite) return false;
    try {
        std::filesystem::create_directories(file_.parent_path());
        writeFileAtomically(file_, key_.encode(), Durability::durable);
        written_ = record;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool InstallationRecord::mergeFileLocked() {
    // Never over a file that is not this key's: one the key could not be taken from was set aside
    // or left for the user, and a key another start wrote meanwhile derives other marks.
    try {
        const auto onDisk =
            InstallationKey::decode(readFile(file_, Links::refuse, InstallationKey::fileBound));
        if (!onDisk.derivesAs(key_)) return false;
        key_.minedFromStart = key_.minedFromStart || onDisk.minedFromStart;
        // What it holds and this does not (another network's heights) is kept, and the lower of
        // the two of each height.
        for (const auto& [network, record] : onDisk.mined) {
            // An entry this record did not write: another start met the network (maybe on a
            // chain that held blocks) or the file was put back from a copy. Either may know of
            // blocks below this record's first job.
            if (network == network_ && written_ != record) firstJobIsFloor_ = false;
            const auto [kept, added] = key_.mined.try_emplace(network, record);
            if (added) continue;
            auto& mine = kept->second;
            for (const auto& [mark, height] : record.marks) lower(mine.marks, mark, height);
            if (record.floor) lower(mine.floor, *record.floor);
        }
        return true;
    } catch (const FileReadError& error) {
        return error.reason() == FileReadError::Reason::missing;
    } catch (const json::DecodeError&) {
        return false;
    }
}

}  // namespace corvanta
