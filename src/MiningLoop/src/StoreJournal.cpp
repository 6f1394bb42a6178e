#include "corvanta/loop/StoreJournal.h"

#include "HistoryJournal.h"

namespace corvanta {

StoreJournal::StoreJournal(const std::filesystem::path& storeFile)
    : url_(journal::beside(storeFile)) {}

void StoreJournal::loaded(std::size_t lines, bool damaged) {
    lines_ = lines;
    damaged_ = damaged;
}

void StoreJournal::append(std::string_view line) {
    journal::append(url_, line);
    ++lines_;
}

void StoreJournal::retire() {
    const auto retired = journal::retire(url_, damaged_);
    if (retired.aside) aside_ = retired.aside;
    if (retired.gone) {
        damaged_ = false;
        lines_ = 0;
    }
}

}  // namespace corvanta
