#include "corvanta/loop/StoreJournal.h"

#include <fcntl.h>
#include <stdio.h>

#include "HistoryJournal.h"
#include "StoreFile.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {

StoreJournal::StoreJournal(const std::filesystem::path& storeFile)
    : url_(journal::beside(storeFile)) {}

void StoreJournal::loaded(std::size_t lines, bool damaged) {
    lines_ = lines;
    damaged_ = damaged;
}

void StoreJournal::setAsideUnread(std::filesystem::path where) {
    lines_ = 0;
    damaged_ = false;
    aside_ = std::move(where);
}

void StoreJournal::append(std::string_view line) {
    journal::append(url_, line);
    ++lines_;
}

bool StoreJournal::moveAsideUnread() {
    const auto aside = storefile::moveAside(url_);
    if (!aside) return false;
    aside_ = *aside;
    damaged_ = false;
    lines_ = 0;
    return true;
}

bool StoreJournal::moveTo(const std::filesystem::path& where) {
    if (::renameat2(AT_FDCWD, url_.c_str(), AT_FDCWD, where.c_str(), RENAME_NOREPLACE) != 0) {
        return false;
    }
    aside_ = where;
    damaged_ = false;
    lines_ = 0;
    return true;
}

void StoreJournal::retire(const std::optional<std::filesystem::path>& damagedTo) {
    if (damaged_ && damagedTo && moveTo(*damagedTo)) return;
    if (damaged_) {
        // Its refused lines are never dropped: a journal that could not be saved aside stays.
        const auto aside = storefile::putAside(url_);
        if (!aside.preserved) return;
        aside_ = aside.location;
    } else {
        try {
            journal::remove(url_);
        } catch (const FileWriteError&) {
            return;  // skipped line by line at the next load, retired again at the next fold
        }
    }
    damaged_ = false;
    lines_ = 0;
}

}  // namespace corvanta
