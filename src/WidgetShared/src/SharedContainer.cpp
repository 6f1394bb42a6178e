#include "corvanta/shared/SharedContainer.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "corvanta/shared/RegularFile.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta::SharedContainer {
namespace {

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    std::filesystem::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

std::optional<std::filesystem::path> homeFolder() {
    if (auto home = absoluteFromEnvironment("HOME")) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || *found->pw_dir == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path(found->pw_dir);
}

}  // namespace

std::optional<std::filesystem::path> containerURL() {
    auto dataHome = absoluteFromEnvironment("XDG_DATA_HOME");
    if (!dataHome) {
        const auto home = homeFolder();
        if (!home) return std::nullopt;
        dataHome = *home / ".local" / "share";
    }
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
