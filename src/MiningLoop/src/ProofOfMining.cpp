#include "corvanta/loop/ProofOfMining.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <utility>

#include "DisplayHex.h"
#include "HistoryJournal.h"
#include "RecordLimits.h"
#include "StoreFile.h"
#include "corvanta/assembly/BitcoinEncoding.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/support/UniqueFd.h"

namespace corvanta {
namespace {

json::Value encodeEntry(const ProofEntry& entry) {
    json::Value record = {{"index", entry.index},
                          {"timestamp", formatIsoDate(entry.timestamp)},
                          {"networkHeight", entry.networkHeight},
                          {"networkBlockHash", entry.networkBlockHash},
                          {"hashesReported", entry.hashesReported},
                          {"previousEntryHash", entry.previousEntryHash}};
    // Absent values are left out, never written as null.
    if (entry.bestHeader) record["bestHeader"] = *entry.bestHeader;
    if (entry.bestDigest) record["bestDigest"] = *entry.bestDigest;
    return record;
}

constexpr std::size_t kHashDigits = 64;
constexpr std::size_t kHeaderDigits = 160;

// Every text field has its own alphabet and length, none of which holds the "|" of the canonical
// form: two different entries can never share one canonical text, hence one entry hash.
std::string requiredHex(const json::Value& record, std::string_view key, std::size_t digits) {
    auto text = json::required<std::string>(record, key);
    if (!loop::isLowerHex(text, digits)) {
        throw json::DecodeError(std::string(key),
                                "not " + std::to_string(digits) + " lower-case hexadecimal digits");
    }
    return text;
}

std::optional<std::string> optionalHex(const json::Value& record, std::string_view key,
                                       std::size_t digits) {
    if (!json::optional<std::string>(record, key)) return std::nullopt;
    return requiredHex(record, key, digits);
}

ProofEntry decodeEntry(const json::Value& record) {
    ProofEntry entry;
    entry.index = json::required<std::int64_t>(record, "index");
    const auto timestamp = parseIsoDate(json::required<std::string>(record, "timestamp"));
    if (!timestamp) throw json::DecodeError("timestamp", "not an ISO 8601 date");
    entry.timestamp = *timestamp;
    entry.networkHeight = json::required<std::int64_t>(record, "networkHeight");
    if (!loop::isPlausibleHeight(entry.networkHeight)) {
        throw json::DecodeError("networkHeight", "out of range");
    }
    entry.networkBlockHash = requiredHex(record, "networkBlockHash", kHashDigits);
    entry.hashesReported = json::required<std::uint64_t>(record, "hashesReported");
    entry.bestHeader = optionalHex(record, "bestHeader", kHeaderDigits);
    entry.bestDigest = optionalHex(record, "bestDigest", kHashDigits);
    if (entry.bestHeader.has_value() != entry.bestDigest.has_value()) {
        throw json::DecodeError("bestHeader", "a best header and its digest go together");
    }
    entry.previousEntryHash = requiredHex(record, "previousEntryHash", kHashDigits);
    return entry;
}

// What loading took of the journal: how many lines there were, whether it is damaged (any line
// refused, an unfinished last one), or could not be read at all.
struct JournalRead {
    std::size_t lines = 0;
    bool damaged = false;
    bool unusable = false;  // past its bound, or not a regular file: not read at all
    std::string unusableWhy;
    std::optional<std::string> unreadable;
    std::optional<ProofOfMining::JournalRefusal> refusal;
};

// A name aside beside the ledger under which neither a file nor "<name>.journal" lies yet: the
// pair set aside there is read by the checker as one ledger, never with a stranger's half.
std::filesystem::path freeAsideBase(const std::filesystem::path& file) {
    const auto first = asideLocation(file);
    auto candidate = first;
    for (int n = 2; n < 100; ++n) {
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)) &&
            !std::filesystem::exists(
                std::filesystem::symlink_status(journal::beside(candidate), error))) {
            break;
        }
        candidate = first.parent_path() /
                    (first.stem().string() + "-" + std::to_string(n) + first.extension().string());
    }
    return candidate;
}

JournalRead readJournal(const std::filesystem::path& journalURL, std::int64_t count,
                        std::string head, const std::function<void(ProofEntry&&)>& take) {
    const auto contents = journal::read(journalURL, ProofOfMining::journalBound);
    JournalRead read{contents.lines.size(),
                     contents.unfinishedTail,
                     contents.notRegular || contents.tooLarge,
                     unusableText(contents.tooLarge, contents.link, ProofOfMining::journalBound),
                     contents.unreadable,
                     std::nullopt};
    const auto taken = ProofOfMining::takeJournal(contents.lines, count, std::move(head), take);
    if (taken.refused) {
        read.damaged = true;
        read.refusal = taken.refused;
    }
    return read;
}

}  // namespace

std::string ProofEntry::canonicalText() const {
    const auto seconds = timestamp.time_since_epoch().count();
    return std::to_string(index) + "|" + std::to_string(seconds) + "|" +
           std::to_string(networkHeight) + "|" + networkBlockHash + "|" +
           std::to_string(hashesReported) + "|" + bestHeader.value_or("-") + "|" +
           bestDigest.value_or("-") + "|" + previousEntryHash;
}

std::vector<std::uint8_t> ProofEntry::canonicalBytes() const {
    const auto text = canonicalText();
    return {text.begin(), text.end()};
}

std::string ProofEntry::entryHash() const {
    return BitcoinEncoding::hexString(doubleSHA256(canonicalBytes()));
}

ProofOfMining::ProofOfMining(std::filesystem::path fileURL, std::stop_token stop)
    : fileURL_(std::move(fileURL)), journal_(fileURL_) {
    removeLeftoverTemporaries(fileURL_);
    loadLocked(stop);
}

std::optional<ProofOfMining::FileIdentity> ProofOfMining::identityOf(
    const std::filesystem::path& file) {
    struct stat status {};
    if (::lstat(file.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino),
                        std::uint64_t(status.st_size), std::int64_t(status.st_mtim.tv_sec),
                        std::int64_t(status.st_mtim.tv_nsec)};
}

void ProofOfMining::moveFileAsideLocked(std::string why) {
    quarantineReason_ = why;
    if (const auto aside = storefile::moveAside(fileURL_)) {
        quarantinedFileURL_ = *aside;
        journalFollowsFileLocked(*aside, std::move(why));
        return;
    }
    // Neither read nor moved: it is never written over either.
    quarantinedFileURL_ = fileURL_;
    mayWrite_ = false;
}

void ProofOfMining::loadFileLocked(const std::stop_token& stop) {
    std::string text;
    try {
        text = readFile(fileURL_, Links::refuse, fileBound);
    } catch (const FileReadError& error) {
        if (error.errorNumber() == EFBIG) {
            moveFileAsideLocked("larger than " + std::to_string(fileBound >> 20) +
                                " MiB, more than any ledger holds");
        } else if (error.reason() == FileReadError::Reason::notRegular) {
            moveFileAsideLocked("not a regular file");
        } else if (error.reason() == FileReadError::Reason::unreadable) {
            unreadable_ = error.what();
            mayWrite_ = false;
        }
        return;
    }
    const auto identity = identityOf(fileURL_);
    try {
        // Entry by entry: the ledger keeps what it verified, never the whole file's values.
        json::forEachElement(
            text, "ledger",
            [this](json::Value&& record) {
                const auto entry = decodeEntry(record);
                if (entry.index != countLocked()) {
                    throw json::DecodeError("index", "not the entry's position in the ledger");
                }
                takeLocked(entry);
            },
            stop);
    } catch (const json::DecodeError& error) {
        verifier_ = {};
        recent_.clear();
        const auto aside = storefile::putAside(fileURL_);
        quarantinedFileURL_ = aside.location;
        quarantineReason_ = std::string("it could not be decoded (") + error.what() + ")";
        mayWrite_ = aside.preserved;
        if (aside.location != fileURL_)
            journalFollowsFileLocked(aside.location, *quarantineReason_);
        return;
    } catch (const Cancelled&) {
        verifier_ = {};
        recent_.clear();
        throw;
    }
    fileIdentity_ = identity;
}

void ProofOfMining::journalFollowsFileLocked(const std::filesystem::path& aside, std::string why) {
    std::error_code error;
    const bool hasJournal =
        std::filesystem::exists(std::filesystem::symlink_status(journal_.url(), error));
    // Should it not move, it stays and is read as the journal of an empty ledger.
    const bool moved = hasJournal && journal_.moveTo(journal::beside(aside));
    setAside_ = SetAside{SetAside::Kind::ledger, aside, moved, std::move(why), std::nullopt};
}

std::optional<std::filesystem::path> ProofOfMining::keepBaseOfDamagedJournalLocked() {
    const auto base = freeAsideBase(fileURL_);
    // A journal that stands for the whole ledger is read alone, as it is.
    if (!fileHoldsBase_) return base;
    // The fold writes a new file in its place, so a second name keeps this one as it lies, at no
    // cost; a copy where the file system has no links.
    if (::link(fileURL_.c_str(), base.c_str()) == 0) return base;
    std::error_code error;
    if (std::filesystem::copy_file(fileURL_, base, std::filesystem::copy_options::none, error)) {
        return base;
    }
    return std::nullopt;
}

void ProofOfMining::loadLocked(const std::stop_token& stop) {
    quarantinedFileURL_.reset();
    quarantineReason_.reset();
    journalRefusal_.reset();
    unreadable_.reset();
    fileIdentity_.reset();
    mayWrite_ = true;
    loadFileLocked(stop);
    fileCount_ = countLocked();
    fileHead_ = headHashLocked();
    // A file without entries to keep (missing, empty, set aside) holds nothing the ledger needs:
    // a fold replaces it whole.
    fileHoldsBase_ = fileCount_ > 0;
    const auto read = readJournal(journal_.url(), countLocked(), headHashLocked(),
                                  [this](const ProofEntry& entry) { takeLocked(entry); });
    if (read.unusable) {
        // Named as the journal of a ledger that has no file: the checker given that name reads
        // this journal, and says what the ledger found in its place.
        const auto base = freeAsideBase(fileURL_);
        if (journal_.moveTo(journal::beside(base))) {
            setAside_ = SetAside{SetAside::Kind::journalUnread, base, true,
                                 "it " + read.unusableWhy, std::nullopt};
        } else if (!journal_.moveAsideUnread()) {
            if (!unreadable_) unreadable_ = journal_.url().string() + " could not be moved aside";
            mayWrite_ = false;
        }
        return;
    }
    if (read.unreadable) {
        // Folding would remove a journal whose entries were never seen.
        if (!unreadable_) unreadable_ = read.unreadable;
        mayWrite_ = false;
    }
    journal_.loaded(read.lines, read.damaged);
    journalRefusal_ = read.refusal;
}

bool ProofOfMining::rereadLocked() {
    auto held = std::exchange(verifier_, Verifier{});
    auto recent = std::exchange(recent_, {});
    loadLocked();
    if (unreadable_) {
        verifier_ = std::move(held);
        recent_ = std::move(recent);
        return false;
    }
    // Entries made while the ledger could not be read were never written anywhere: they follow
    // what it holds, chained to its head.
    for (auto& entry : unsaved_) {
        entry.index = countLocked();
        entry.previousEntryHash = headHashLocked();
        takeLocked(entry);
    }
    return true;
}

std::optional<std::string> ProofOfMining::unreadableReason() const {
    std::lock_guard lock(mutex_);
    return unreadable_;
}

std::optional<std::filesystem::path> ProofOfMining::quarantinedFileURL() const {
    std::lock_guard lock(mutex_);
    return quarantinedFileURL_;
}

std::optional<std::string> ProofOfMining::quarantineReason() const {
    std::lock_guard lock(mutex_);
    return quarantineReason_;
}

std::optional<std::filesystem::path> ProofOfMining::quarantinedJournalURL() const {
    std::lock_guard lock(mutex_);
    return journal_.aside();
}

std::vector<ProofEntry> ProofOfMining::allEntries() const {
    std::lock_guard lock(mutex_);
    return gatherLocked();
}

std::string ProofOfMining::headHash() const {
    std::lock_guard lock(mutex_);
    return headHashLocked();
}

std::string ProofOfMining::headHashLocked() const {
    return verifier_.expectedPrevious;  // the newest entry's hash
}

void ProofOfMining::takeLocked(const ProofEntry& entry) {
    verifier_.add(entry);
    recent_.push_back(entry);
    if (recent_.size() > recentKept) recent_.pop_front();
}

ProofEntry ProofOfMining::append(std::int64_t networkHeight, const std::string& networkBlockHash,
                                 std::uint64_t hashesReported,
                                 const std::optional<CPUEngine::BestAttempt>& bestAttempt,
                                 WallClock::time_point timestamp) {
    // An entry the file could not load back would cost the whole ledger at the next launch.
    if (!loop::isLowerHex(networkBlockHash, kHashDigits) ||
        !loop::isPlausibleHeight(networkHeight)) {
        throw std::invalid_argument("a ledger anchor is a height and a 64-digit block hash");
    }
    std::lock_guard lock(mutex_);
    ProofEntry entry{.index = countLocked(),
                     .timestamp = wholeSeconds(timestamp),
                     .networkHeight = networkHeight,
                     .networkBlockHash = networkBlockHash,
                     .hashesReported = hashesReported,
                     .bestHeader = std::nullopt,
                     .bestDigest = std::nullopt,
                     .previousEntryHash = headHashLocked()};
    if (bestAttempt) {
        entry.bestHeader = BitcoinEncoding::hexString(bestAttempt->headerBytes);
        entry.bestDigest = loop::displayHex(bestAttempt->digest);
    }
    takeLocked(entry);
    persistLocked(entry);
    return entry;
}

void ProofOfMining::persistLocked(const ProofEntry& entry) {
    // A journal may only extend a file that holds every earlier entry (or stand in for a file not
    // written yet), and only up to a length that keeps loading quick. A file left unreadable or
    // set aside by a copy is replaced at once, or the next launch would set it aside again.
    std::error_code error;
    const bool journalMayExtend =
        fileHoldsBase_ || (entry.index == std::int64_t(journal_.lines()) &&
                           !std::filesystem::exists(fileURL_, error) && !error);
    if (!journalMayExtend || !unsaved_.empty() || journal_.damaged() || !mayWrite_ ||
        journal_.lines() >= foldAfterLines) {
        unsaved_.push_back(entry);
        foldLocked();
        return;
    }
    try {
        journal_.append(json::dump(encodeEntry(entry)));
    } catch (const FileWriteError&) {
        // Any line it may have left unfinished is replaced with the journal at the next fold.
        unsaved_.push_back(entry);
        throw;
    }
}

std::vector<ProofEntry> ProofOfMining::gatherLocked() const {
    std::vector<ProofEntry> entries;
    if (fileHoldsBase_) {
        try {
            entries = decode(readFile(fileURL_, Links::refuse, fileBound));
        } catch (const std::exception& error) {
            throw FileReadError("the ledger file " + fileURL_.string() +
                                " can no longer be read back: " + error.what());
        }
        if (std::int64_t(entries.size()) != fileCount_) {
            throw FileReadError("the ledger file " + fileURL_.string() + " changed on disk");
        }
    }
    for (auto& entry : sinceFileLocked()) entries.push_back(std::move(entry));
    return entries;
}

std::vector<ProofEntry> ProofOfMining::sinceFileLocked() const {
    std::vector<ProofEntry> entries;
    readJournal(journal_.url(), fileCount_, fileHead_,
                [&](ProofEntry entry) { entries.push_back(std::move(entry)); });
    for (const auto& entry : unsaved_) {
        if (entry.index == fileCount_ + std::int64_t(entries.size())) entries.push_back(entry);
    }
    return entries;
}

namespace {

bool isJsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

void ProofOfMining::extendFileLocked(const std::vector<ProofEntry>& entries) {
    const auto changed = [&] {
        return FileWriteError("the ledger file " + fileURL_.string() +
                              " changed on disk; it is left untouched");
    };
    const UniqueFd fd(::open(fileURL_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) throw changed();
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || !fileIdentity_ ||
        std::uint64_t(status.st_ino) != fileIdentity_->inode ||
        std::uint64_t(status.st_size) != fileIdentity_->size ||
        std::int64_t(status.st_mtim.tv_sec) != fileIdentity_->changedSeconds ||
        std::int64_t(status.st_mtim.tv_nsec) != fileIdentity_->changedNanoseconds) {
        throw changed();
    }
    // The array's closing bracket, after which only white space may follow.
    std::array<char, 4096> tail{};
    const auto size = std::size_t(status.st_size);
    const auto tailSize = std::min(size, tail.size());
    if (::pread(fd.get(), tail.data(), tailSize, off_t(size - tailSize)) != ssize_t(tailSize)) {
        throw changed();
    }
    std::size_t end = tailSize;
    while (end > 0 && isJsonSpace(tail[end - 1])) --end;
    if (end == 0 || tail[end - 1] != ']') throw changed();
    const std::size_t keep = size - tailSize + end - 1;

    AtomicFileWriter writer(fileURL_, Durability::durable);
    std::string block(64 * 1024, '\0');
    for (std::size_t copied = 0; copied < keep;) {
        const ssize_t got = ::read(fd.get(), block.data(), std::min(block.size(), keep - copied));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            throw FileWriteError("cannot read " + fileURL_.string() +
                                 " again: " + (got < 0 ? std::strerror(errno) : "it ended early"));
        }
        writer.write(std::string_view(block.data(), std::size_t(got)));
        copied += std::size_t(got);
    }
    for (const auto& entry : entries) {
        writer.write(",");
        writer.write(json::dump(encodeEntry(entry)));
    }
    writer.write("]");
    writer.commit();
}

void ProofOfMining::foldLocked() {
    if (unreadable_ && !rereadLocked()) {
        throw FileWriteError(*unreadable_ + "; new entries are kept in memory and nothing is " +
                             "written over the ledger until it can be read");
    }
    if (!mayWrite_) {
        throw FileWriteError("the ledger file " + fileURL_.string() +
                             " could not be read nor saved aside; it is left untouched");
    }
    const auto entries = sinceFileLocked();
    // Whatever changed the files behind the ledger's back, they are not overwritten with less.
    if (fileCount_ + std::int64_t(entries.size()) != countLocked()) {
        throw FileWriteError("the ledger file " + fileURL_.string() +
                             " or its journal changed on disk; they are left untouched");
    }
    // A damaged journal goes aside with the file it extends as it lies now, so that the pair
    // reads as it did at start: the entries before the refused line, and that line refused.
    const bool damaged = journal_.damaged();
    const auto pair = damaged ? keepBaseOfDamagedJournalLocked() : std::nullopt;
    const auto dropKeptBase = [&] {
        std::error_code ignored;
        if (pair && fileHoldsBase_) std::filesystem::remove(*pair, ignored);
    };
    try {
        if (fileHoldsBase_) {
            // The file is copied as it lies, never parsed again: a fold costs its length in bytes.
            extendFileLocked(entries);
        } else {
            storefile::writeArray(fileURL_, entries, encodeEntry, Durability::durable);
        }
    } catch (...) {
        dropKeptBase();
        throw;
    }
    const bool hadBase = fileHoldsBase_;
    fileIdentity_ = identityOf(fileURL_);
    fileCount_ = countLocked();
    fileHead_ = headHashLocked();
    unsaved_.clear();
    fileHoldsBase_ = true;
    journal_.retire(pair ? std::optional(journal::beside(*pair)) : std::nullopt);
    if (!damaged || journal_.damaged()) return;
    if (pair && journal_.aside() == journal::beside(*pair)) {
        setAside_ = SetAside{SetAside::Kind::journalRefused, *pair, true,
                             "its journal held a line the ledger refused", journalRefusal_};
    } else if (pair && hadBase) {
        // The journal went elsewhere: the file's second name would pair with nothing.
        std::error_code ignored;
        std::filesystem::remove(*pair, ignored);
    }
    journalRefusal_.reset();
}

std::vector<ProofEntry> ProofOfMining::load(const std::filesystem::path& file) {
    std::vector<ProofEntry> entries;
    try {
        entries = decode(readFile(file, Links::follow, fileBound));
    } catch (const FileReadError& error) {
        // A ledger whose first entries are all still in its journal.
        if (error.reason() != FileReadError::Reason::missing) return {};
    } catch (const std::exception&) {
        return {};
    }
    readJournal(journal::beside(file), std::int64_t(entries.size()),
                entries.empty() ? rootHash : entries.back().entryHash(),
                [&](ProofEntry entry) { entries.push_back(std::move(entry)); });
    return entries;
}

void ProofOfMining::Verifier::add(const ProofEntry& entry) {
    if (entry.previousEntryHash != expectedPrevious) result.brokenChainAt.push_back(entry.index);
    expectedPrevious = entry.entryHash();
    if (!result.firstAnchor) {
        result.firstAnchor = ProofAnchor{entry.networkHeight, entry.networkBlockHash};
    }
    result.lastAnchor = ProofAnchor{entry.networkHeight, entry.networkBlockHash};
    if (__builtin_add_overflow(result.hashesReported, entry.hashesReported,
                               &result.hashesReported)) {
        result.hashesReported = ProofVerification::hashesBeyondCount;
    }
    ++result.entriesChecked;

    if (!entry.bestHeader && !entry.bestDigest) return;
    // A claim that cannot be re-hashed proves nothing and counts against the ledger.
    const auto header = BitcoinEncoding::hexBytes(entry.bestHeader.value_or(""));
    if (!entry.bestDigest || !header || header->size() != 80) {
        result.invalidWorkAt.push_back(entry.index);
        return;
    }
    auto digest = doubleSHA256(*header);
    std::reverse(digest.begin(), digest.end());
    if (BitcoinEncoding::hexString(digest) != *entry.bestDigest) {
        result.invalidWorkAt.push_back(entry.index);
        return;
    }
    result.bestDifficultyProven = std::max(result.bestDifficultyProven, Difficulty::value(digest));
}

ProofVerification ProofOfMining::verify(const std::vector<ProofEntry>& entries) {
    Verifier verifier;
    for (const auto& entry : entries) verifier.add(entry);
    return verifier.result;
}

ProofOfMining::Summary ProofOfMining::summary(std::size_t recent) const {
    std::lock_guard lock(mutex_);
    const auto from = recent_.size() - std::min(recent, recent_.size());
    return {verifier_.result,
            std::vector<ProofEntry>(recent_.begin() + std::ptrdiff_t(from), recent_.end()),
            journal_.damaged() ? journalRefusal_ : std::nullopt, setAside_};
}

std::string ProofOfMining::encode(const std::vector<ProofEntry>& records) {
    return storefile::encodeArray(records, encodeEntry);
}

std::vector<ProofEntry> ProofOfMining::decode(std::string_view text) {
    auto entries = storefile::decodeArray(text, "ledger", decodeEntry);
    for (std::size_t position = 0; position < entries.size(); ++position) {
        if (entries[position].index != static_cast<std::int64_t>(position)) {
            throw json::DecodeError("index", "not the entry's position in the ledger");
        }
    }
    return entries;
}

ProofOfMining::JournalTaken ProofOfMining::takeJournal(
    const std::vector<std::string>& lines, std::int64_t count, std::string head,
    const std::function<void(ProofEntry&&)>& take) {
    JournalTaken taken;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const auto refuse = [&](JournalStop why, std::optional<std::int64_t> index,
                                std::string detail) {
            taken.refused = JournalRefusal{line + 1, why, count, index, std::move(detail)};
        };
        ProofEntry entry;
        try {
            entry = decodeEntry(json::parse(lines[line]));
        } catch (const json::DecodeError& error) {
            refuse(JournalStop::unreadable, std::nullopt, error.what());
            break;
        }
        if (entry.index < count) {
            ++taken.folded;
            continue;
        }
        if (entry.index != count) {
            refuse(JournalStop::outOfPlace, entry.index, {});
            break;
        }
        if (entry.previousEntryHash != head) {
            refuse(JournalStop::unchained, entry.index, {});
            break;
        }
        head = entry.entryHash();
        take(std::move(entry));
        ++count;
        ++taken.taken;
    }
    return taken;
}

}  // namespace corvanta
