#pragma once

#include <filesystem>
#include <optional>

// The user's own folders, named as the base-directory rules name them. Every program of ours
// takes them from here, so that the settings, the data and the widget host agree on one place.
namespace corvanta::userFolders {

// The user's home: $HOME's bytes as they stand (never re-encoded, whatever their encoding) when
// it is an absolute path, else the home the password database gives this user; none when neither
// names one. A relative HOME names no folder of the user's: it would follow the working folder.
std::optional<std::filesystem::path> home();

// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config: an empty or relative value is
// passed over, as the rules say. None without a home.
std::optional<std::filesystem::path> configHome();

// $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share. None without a home.
std::optional<std::filesystem::path> dataHome();

// $XDG_CACHE_HOME when it is an absolute path, else <home>/.cache. None without a home.
std::optional<std::filesystem::path> cacheHome();

}  // namespace corvanta::userFolders
