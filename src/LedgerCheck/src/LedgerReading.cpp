#include "corvanta/ledger/LedgerReading.h"

#include <cerrno>
#include <string_view>
#include <system_error>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/TextLines.h"

namespace corvanta::ledger {
namespace {

std::string mebibytes(std::size_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

// The whole file, or a FileReadError that says what kept it from being read.
std::string readBounded(const std::filesystem::path& path, Links links, std::size_t bound,
                        std::string_view what) {
    try {
        return readFile(path, links, bound);
    } catch (const FileReadError& error) {
        if (error.errorNumber() == EFBIG) {
            throw FileReadError(path.string() + " is larger than " + mebibytes(bound) +
                                    ", more than any " + std::string(what) +
                                    " holds: it was not read",
                                FileReadError::Reason::unreadable, EFBIG);
        }
        std::error_code ignored;
        if (links == Links::refuse && error.reason() == FileReadError::Reason::notRegular &&
            std::filesystem::is_symlink(std::filesystem::symlink_status(path, ignored))) {
            throw FileReadError(path.string() +
                                    " is a symbolic link: the application never reads a journal "
                                    "through one (it leaves it out and sets it aside), so it is "
                                    "not read here either; put the journal itself in its place",
                                FileReadError::Reason::notRegular);
        }
        throw;
    }
}

}  // namespace

Reading readForCheck(const std::filesystem::path& file) {
    auto journalURL = file;
    journalURL += ".journal";
    Reading reading;
    bool hasFile = true;
    try {
        reading.entries = ProofOfMining::decode(
            readBounded(file, Links::follow, ledgerFileBound, "proof-of-mining ledger"));
    } catch (const FileReadError& error) {
        if (error.reason() != FileReadError::Reason::missing) throw;
        // A ledger whose first entries are all still in its journal.
        hasFile = false;
    }
    std::string journal;
    try {
        journal = readBounded(journalURL, Links::refuse, journalBound, "ledger journal");
        reading.hasJournal = true;
    } catch (const FileReadError& error) {
        if (error.reason() != FileReadError::Reason::missing) throw;
    }
    if (!hasFile && !reading.hasJournal) {
        throw FileReadError("cannot open " + file.string() + ": no such file, nor a journal",
                            FileReadError::Reason::missing);
    }
    auto lines = splitLines(journal);
    journal = {};
    reading.journalLines = lines.complete.size();
    reading.journalUnfinished = lines.unfinished;
    const auto count = std::int64_t(reading.entries.size());
    const auto head =
        reading.entries.empty() ? ProofOfMining::rootHash : reading.entries.back().entryHash();
    reading.journal = ProofOfMining::takeJournal(
        lines.complete, count, head,
        [&](ProofEntry&& entry) { reading.entries.push_back(std::move(entry)); });
    return reading;
}

}  // namespace corvanta::ledger
