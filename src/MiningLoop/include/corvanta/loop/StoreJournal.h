#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

namespace corvanta {

// What a store (the found-block history, the proof ledger) knows of its append-only journal,
// "<file name>.journal" beside its file, between two folds of the journal into the file.
class StoreJournal {
  public:
    explicit StoreJournal(const std::filesystem::path& storeFile);

    const std::filesystem::path& url() const { return url_; }
    // Lines in the journal, whether or not the store took them.
    std::size_t lines() const { return lines_; }
    // It holds lines the store refused: never appended to, put aside whole at the next fold.
    bool damaged() const { return damaged_; }
    // Where a damaged journal was put aside.
    const std::optional<std::filesystem::path>& aside() const { return aside_; }

    // What loading the store found in the journal.
    void loaded(std::size_t lines, bool damaged);
    // Loading found no journal it could read (a link, a FIFO, one past its bound) and set it
    // aside unread, at `where`.
    void setAsideUnread(std::filesystem::path where);
    // Appends one record's line, synced to the disk. Throws FileWriteError, counting nothing.
    void append(std::string_view line);
    // Something the store will not read (past its bound, a link, a FIFO, a folder) is in the
    // journal's place: it is moved aside by a rename, unread, and the store goes on without it.
    // False when it could not be moved: then the store must never write over it.
    bool moveAsideUnread();
    // Moves whatever is in the journal's place to `where` by a rename, unread, never over
    // anything there: false when it could not. The store then goes on without a journal.
    bool moveTo(const std::filesystem::path& where);
    // Once a fold has written every record to the store's file: removes the journal, or puts a
    // damaged one aside (at `damagedTo` when given and free). Never throws: a journal that stays
    // is retired again at the next fold.
    void retire(const std::optional<std::filesystem::path>& damagedTo = std::nullopt);

  private:
    std::filesystem::path url_;
    std::size_t lines_ = 0;
    bool damaged_ = false;
    std::optional<std::filesystem::path> aside_;
};

}  // namespace corvanta
