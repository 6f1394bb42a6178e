#pragma once

// A store's append-only journal (the found-block history's, the proof ledger's): one record a
// line, beside the store's file. Appending a line costs the same whatever the store's length; the
// store folds the journal into its file now and then and removes it.

#include <filesystem>
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
};

// Reads the journal; a missing or unreadable one has no lines.
Contents read(const std::filesystem::path& journal);

// Appends `line` and a line break, synced to the disk. Throws FileWriteError.
void append(const std::filesystem::path& journal, std::string_view line);

// Removes the journal; a missing one is fine. Throws FileWriteError.
void remove(const std::filesystem::path& journal);

// Ends a journal once a fold has put every record it could read into the store's file: removes
// it, or, when it held lines the store refused, puts it aside whole (never drops them). Never
// throws: a journal that stays is skipped line by line at the next load and retired again at the
// next fold, and a damaged one that could not be saved aside stays where it is.
struct Retirement {
    bool gone = false;                           // the store may start a new journal
    std::optional<std::filesystem::path> aside;  // where a damaged one now lies
};
Retirement retire(const std::filesystem::path& journal, bool damaged);

}  // namespace corvanta::journal
