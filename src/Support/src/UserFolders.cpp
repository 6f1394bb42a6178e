#include "corvanta/support/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace corvanta::userFolders {
namespace {

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    std::filesystem::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

std::optional<std::filesystem::path> homeOfThisUser() {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::nullopt;
    }
    std::filesystem::path path(found->pw_dir);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

std::optional<std::filesystem::path> baseFolder(const char* variable,
                                                const std::filesystem::path& belowHome) {
    if (auto configured = absoluteFromEnvironment(variable)) return configured;
    const auto user = home();
    if (!user) return std::nullopt;
    return *user / belowHome;
}

}  // namespace

std::optional<std::filesystem::path> home() {
    if (auto configured = absoluteFromEnvironment("HOME")) return configured;
    return homeOfThisUser();
}

std::optional<std::filesystem::path> configHome() {
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

std::optional<std::filesystem::path> dataHome() {
    return baseFolder("XDG_DATA_HOME", std::filesystem::path(".local") / "share");
}

std::optional<std::filesystem::path> cacheHome() {
    return baseFolder("XDG_CACHE_HOME", ".cache");
}

}  // namespace corvanta::userFolders
