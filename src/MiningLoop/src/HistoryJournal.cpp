#include "HistoryJournal.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/TextLines.h"

namespace corvanta::journal {
std::filesystem::path beside(const std::filesystem::path& file) {
    auto journal = file;
    journal += ".journal";
    return journal;
}

Contents read(const std::filesystem::path& journal, std::size_t maxBytes) {
    Contents contents;
    std::string text;
    try {
        text = readFile(journal, Links::refuse, maxBytes);
    } catch (const FileReadError& error) {
        if (error.reason() == FileReadError::Reason::notRegular) contents.notRegular = true;
        contents.link = error.isLink();
        if (error.isTooLarge()) {
            contents.tooLarge = true;
            return contents;
        }
        if (error.reason() == FileReadError::Reason::unreadable) contents.unreadable = error.what();
        return contents;
    }
    auto lines = splitLines(text);
    contents.lines = std::move(lines.complete);
    contents.unfinishedTail = lines.unfinished;
    return contents;
}

void append(const std::filesystem::path& journal, std::string_view line) {
    // A record appended before the journal is read must never continue a line a torn write left
    // unfinished: glued to it, it would be refused with it.
    appendLineDurably(journal, line);
}

void remove(const std::filesystem::path& journal) {
    if (::unlink(journal.c_str()) != 0 && errno != ENOENT) {
        throw FileWriteError("cannot remove " + journal.string() + ": " + std::strerror(errno));
    }
}

}  // namespace corvanta::journal
