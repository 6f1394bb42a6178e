#pragma once

// A store's append-only journal (the found-block history's, the proof ledger's): one record a
// line, beside the store's file. Appending a line costs the same whatever the store's length; the
// store folds the journal into its file now and then and removes it.

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvanta::journal {

// The journal of a store's file: "<file name>.journal" in the same folder.
std::filesystem::path beside(const std::filesystem::path& file);

struct Contents {
    // The complete lines, oldest first, without their line break.
    std::vector<std::string> lines;
    // Bytes after the last line break: a line whose writing never finished.
    bool unfinishedTail = false;
    // Something other than a regular file (a link, a FIFO) is in the journal's place.
    bool notRegular = false;
    // A link in particular.
    bool link = false;
    // A regular file past the bound the reader set: not a byte of it read.
    bool tooLarge = false;
    // The journal is there but could not be read: why.
    std::optional<std::string> unreadable;
};

// Reads the journal without ever blocking, never through a link, never past `maxBytes`; a
// missing, unreadable, irregular or too large one has no lines.
Contents read(const std::filesystem::path& journal,
              std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// Appends `line` and a line break, synced to the disk, on a line of its own: an unfinished last
// line stays as it was, and is refused at the next read as before. Throws FileWriteError.
void append(const std::filesystem::path& journal, std::string_view line);

// Removes the journal; a missing one is fine. Throws FileWriteError.
void remove(const std::filesystem::path& journal);

}  // namespace corvanta::journal
