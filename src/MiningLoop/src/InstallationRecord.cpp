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

bool InstallationRecord::noteMiningAt(const ExtranonceMark& mark, std::int64_t height) {
    std::lock_guard lock(mutex_);
    const bool firstHere = !key_.mined.contains(network_);
    auto& record = key_.mined[network_];
    lower(record.marks, mark, height);
    if (record.floor || (firstHere && key_.minedFromStart)) lower(record.floor, height);
    return writeLocked();
}

bool InstallationRecord::noteFloor(std::int64_t height) {
    std::lock_guard lock(mutex_);
    lower(key_.mined[network_].floor, height);
    return writeLocked();
}

bool InstallationRecord::writeLocked() {
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
            auto& mine = key_.mined[network];
            for (const auto& [mark, height] : record.marks) lower(mine.marks, mark, height);
            if (record.floor) lower(mine.floor, *record.floor);
        }
    } catch (const FileReadError& error) {
        if (error.reason() != FileReadError::Reason::missing) return false;
    } catch (const json::DecodeError&) {
        return false;
    }
    try {
        std::filesystem::create_directories(file_.parent_path());
        writeFileAtomically(file_, key_.encode(), Durability::durable);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace corvanta
