#include "HistoryFileReading.h"

#include <algorithm>
#include <set>

#include "HistoryCodec.h"
#include "HistoryJournal.h"
#include "StoreFile.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/SetAside.h"
#include "corvanta/support/Uuid.h"

namespace corvanta::loop {
namespace {

using Id = std::array<std::uint8_t, 16>;

// What the file decodes to: records straight into the store's form, one element at a time, so
// that the file's text is the largest thing held while it is read.
struct Decoded {
    std::unique_ptr<HistoryRecords> records = std::make_unique<HistoryRecords>();
    std::optional<MiningHistoryStore::Folded> folded;
};

// Every record is one block: a repeated id or block hash would count a reward twice. Ids are
// compared as the store keeps them, as bytes: two that differ only in letter case are one id.
void requireDistinctIds(std::vector<Id> ids) {
    std::sort(ids.begin(), ids.end());
    if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) {
        throw json::DecodeError("id", "repeated");
    }
}

Decoded decodeFile(std::string_view text, const std::stop_token& stop) {
    Decoded decoded;
    std::vector<Id> ids;
    bool first = true;
    json::forEachElement(
        text, "history",
        [&](json::Value&& element) {
            const bool opening = std::exchange(first, false);
            if (isFoldedSummary(element)) {
                if (!opening) throw json::DecodeError("folded", "not the file's first element");
                decoded.folded = decodeFolded(element);
                return;
            }
            const auto record = HistoryRecord::of(decodeBlock(element));
            if (decoded.records->find(record.blockHash)) {
                throw json::DecodeError("blockHash", "repeated");
            }
            ids.push_back(record.id);
            decoded.records->append(record);
        },
        stop);
    requireDistinctIds(std::move(ids));
    return decoded;
}

void readJournal(HistoryReading& reading, const std::filesystem::path& journal,
                 const std::stop_token& stop) {
    const auto contents = journal::read(journal, MiningHistoryStore::journalBound);
    if (contents.tooLarge || contents.notRegular) {
        // Never opened for reading: set aside now, so that no append ever goes through a link
        // or waits on a FIFO, and nothing of it is lost.
        const auto aside = storefile::moveAside(journal);
        const auto what =
            "History journal " + journal.string() + " " +
            unusableText(contents.tooLarge, contents.link, MiningHistoryStore::journalBound);
        if (aside) {
            reading.journalSetAside = *aside;
            reading.notices.push_back(what + ": it was set aside as " + aside->string() + ".");
            return;
        }
        // What it holds is not known: nothing may be folded over it.
        reading.mayWrite = false;
        reading.notices.push_back(what + " and could not be set aside: found blocks are kept " +
                                  "in memory until it is moved away.");
    }
    if (contents.unreadable) {
        // Folding would remove a journal whose records were never seen.
        if (!reading.unreadable) reading.unreadable = contents.unreadable;
        reading.mayWrite = false;
    }
    reading.journalLines = contents.lines.size();
    // A link or FIFO in the journal's place is set aside like a damaged journal, never written to.
    reading.journalDamaged = contents.unfinishedTail || contents.notRegular || contents.tooLarge;
    if (contents.lines.empty()) return;
    std::set<Id> ids;
    for (const auto& record : *reading.records) ids.insert(record.id);
    for (const auto& line : contents.lines) {
        if (stop.stop_requested()) throw Cancelled();
        HistoryRecord record;
        try {
            record = HistoryRecord::of(decodeBlock(json::parse(line)));
        } catch (const json::DecodeError&) {
            reading.journalDamaged = true;
            continue;
        }
        // Already folded into the file by a write that ended before the journal was removed.
        if (reading.records->find(record.blockHash)) continue;
        if (!ids.insert(record.id).second) {
            reading.journalDamaged = true;
            continue;
        }
        reading.records->append(record);
    }
}

}  // namespace

HistoryReading readHistory(const std::filesystem::path& file, const std::filesystem::path& journal,
                           std::stop_token stop) {
    auto loaded = storefile::load<Decoded>(
        file, [&](std::string_view text) { return decodeFile(text, stop); },
        MiningHistoryStore::fileBound);
    HistoryReading reading;
    reading.records = std::move(loaded.records.records);
    reading.folded = loaded.records.folded;
    if (loaded.quarantined) {
        const auto what = "History file " + file.string() + " " + loaded.asideReason;
        reading.notices.push_back(*loaded.quarantined != file
                                      ? what + ": it was set aside as " +
                                            loaded.quarantined->string() + "."
                                      : what + " and could not be set aside: found blocks are " +
                                            "kept in memory until it is moved away.");
    }
    reading.quarantined = std::move(loaded.quarantined);
    reading.mayWrite = loaded.mayWrite;
    reading.unreadable = std::move(loaded.unreadable);
    std::error_code error;
    reading.fileHoldsBase =
        !reading.quarantined && !reading.unreadable && std::filesystem::exists(file, error);
    readJournal(reading, journal, stop);
    return reading;
}

}  // namespace corvanta::loop
