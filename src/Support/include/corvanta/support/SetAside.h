#pragma once

// Setting aside a file that cannot be used: one of the user's or the node's files that is past
// its bound, not a regular file, or does not decode. It is renamed beside itself, unread and never
// copied, so that nothing it held is lost and nothing is written over it.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "corvanta/support/AtomicFile.h"

namespace corvanta {

// "<name>.unreadable-<seconds since 1970>.json" in the file's own folder.
std::filesystem::path asideLocation(const std::filesystem::path& file);

// Renames whatever is in the file's place to its aside location: a link stays a link (its target
// untouched), a FIFO is never opened, a file past its bound costs no disk again. Never over an
// earlier file set aside in the same second. Where it now lies, or none when it could not be moved.
std::optional<std::filesystem::path> renameAside(const std::filesystem::path& file);

// Why a file was not read, for the event log ("is larger than 64 MiB, more than it ever holds",
// "is a symbolic link, which is never followed", "is not a regular file"); none when the error is
// no reason to set it aside (missing, or unreadable: such a file is left as it is).
std::optional<std::string> unusableReason(const FileReadError& error, std::size_t maxBytes);
// The same from what the reader found: past `maxBytes`, a link, or another kind of file.
std::string unusableText(bool tooLarge, bool link, std::size_t maxBytes);

}  // namespace corvanta
