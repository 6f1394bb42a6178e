#include "corvanta/shared/SharedContainer.h"

#include <string>

#include "corvanta/shared/RegularFile.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/UserFolders.h"

namespace corvanta::SharedContainer {

std::optional<std::filesystem::path> containerURL() {
    const auto dataHome = userFolders::dataHome();
    if (!dataHome) return std::nullopt;
    return *dataHome / appGroup;
}

std::optional<std::filesystem::path> snapshotURL() {
    const auto container = containerURL();
    if (!container) return std::nullopt;
    return *container / snapshotFileName;
}

void write(const MinerSnapshot& snapshot) noexcept {
    try {
        if (const auto container = containerURL()) write(snapshot, *container);
    } catch (...) {
        // Losing one snapshot is fine: the next write comes a second later.
    }
}

std::optional<MinerSnapshot> read() noexcept {
    try {
        const auto container = containerURL();
        return container ? read(*container) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

void write(const MinerSnapshot& snapshot, const std::filesystem::path& container) noexcept {
    try {
        const auto text = snapshot.encodeJSON();
        if (!text) return;
        writeFileAtomically(container / snapshotFileName, *text, Durability::atomic);
    } catch (...) {
        // Dropped on purpose, as above.
    }
}

std::optional<MinerSnapshot> read(const std::filesystem::path& container) noexcept {
    try {
        // A snapshot is a few hundred bytes; anything but a small regular file is not one.
        constexpr std::size_t largestSnapshot = 64 * 1024;
        const auto file = readRegularFile(container / snapshotFileName, largestSnapshot);
        if (file.outcome != RegularFileText::Outcome::read) return std::nullopt;
        return MinerSnapshot::decodeJSON(file.text);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace corvanta::SharedContainer
