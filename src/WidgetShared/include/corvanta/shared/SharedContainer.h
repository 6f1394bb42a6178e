#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "corvanta/shared/MinerSnapshot.h"

// The one file the application and the widget program share. The application writes the
// snapshot once a second; the widgets read it when asked. Neither side reports errors: the writer
// loses at most one snapshot, and the reader treats an unreadable file like a missing one. Writes
// replace the file atomically, so a reader sees either the previous snapshot or the new one.
namespace corvanta::SharedContainer {

inline constexpr std::string_view appGroup = "H3VQ8ZT5LM.group.rigwell";
inline constexpr std::string_view snapshotFileName = "miner-snapshot.json";

// $XDG_DATA_HOME/H3VQ8ZT5LM.group.rigwell, with XDG_DATA_HOME (when unset, empty or relative)
// standing for ~/.local/share. nullopt when there is no home folder. Created by the first write.
std::optional<std::filesystem::path> containerURL();
std::optional<std::filesystem::path> snapshotURL();

void write(const MinerSnapshot& snapshot) noexcept;
std::optional<MinerSnapshot> read() noexcept;

// The same against a given container folder.
void write(const MinerSnapshot& snapshot, const std::filesystem::path& container) noexcept;
std::optional<MinerSnapshot> read(const std::filesystem::path& container) noexcept;

}  // namespace corvanta::SharedContainer
