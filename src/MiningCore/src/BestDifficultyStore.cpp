#include "corvanta/mining/BestDifficultyStore.h"

#include <algorithm>

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/SetAside.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {
constexpr std::string_view kKey = "bestDigestBigEndianBytes";
}

BestDifficultyStore::BestDifficultyStore(std::filesystem::path fileURL)
    : fileURL_(std::move(fileURL)) {
    removeLeftoverTemporaries(fileURL_);
}

std::optional<BestDifficultyStore::Digest> BestDifficultyStore::load() const {
    try {
        return decode(readFile(fileURL_, Links::refuse, fileBound));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

BestDifficultyStore::Saved BestDifficultyStore::save(
    std::span<const std::uint8_t> bigEndianDigest) const {
    if (bigEndianDigest.size() != 32) {
        throw std::invalid_argument("a best digest has 32 bytes, not " +
                                    std::to_string(bigEndianDigest.size()));
    }
    Digest digest;
    std::copy(bigEndianDigest.begin(), bigEndianDigest.end(), digest.begin());
    // What is there now is what gets replaced: it is read again, never taken on trust from an
    // earlier load that may have failed for a moment.
    std::optional<std::string> why;
    try {
        const auto stored = decode(readFile(fileURL_, Links::refuse, fileBound));
        if (stored && !std::lexicographical_compare(digest.begin(), digest.end(), stored->begin(),
                                                    stored->end())) {
            return {*stored, std::nullopt};
        }
        if (!stored) why = "could not be decoded";
    } catch (const FileReadError& error) {
        if (error.reason() != FileReadError::Reason::missing)
            why = unusableReason(error, fileBound);
        // There, but the system will not let it be read for now: it may hold a better best.
        if (!why && error.reason() == FileReadError::Reason::unreadable) {
            throw FileWriteError(std::string(error.what()) +
                                 "; it is left as it is until it can be read");
        }
    }
    std::optional<std::string> notice;
    if (why) {
        const auto aside = renameAside(fileURL_);
        if (!aside) {
            throw FileWriteError("the best-difficulty file " + fileURL_.string() + " " + *why +
                                 " and could not be set aside; it is left untouched");
        }
        notice = "Best-difficulty file " + fileURL_.string() + " " + *why +
                 ": it was set aside as " + aside->string() + ".";
    }
    writeFileAtomically(fileURL_, encode(digest));
    return {digest, std::move(notice)};
}

std::optional<BestDifficultyStore::Digest> BestDifficultyStore::decode(std::string_view text) {
    try {
        const auto record = json::parse(text);
        const auto bytes = json::required<json::Value>(record, kKey);
        if (!bytes.is_array() || bytes.size() != 32) return std::nullopt;
        Digest digest;
        for (std::size_t i = 0; i < digest.size(); ++i) {
            digest[i] = json::as<std::uint8_t>(bytes[i], kKey);
        }
        // No header hashes to zero: such a record would stand for an infinite difficulty that no
        // later result could ever beat.
        if (std::all_of(digest.begin(), digest.end(), [](std::uint8_t b) { return b == 0; })) {
            return std::nullopt;
        }
        return digest;
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

std::string BestDifficultyStore::encode(const Digest& bigEndianDigest) {
    json::Value record = json::Value::object();
    record[std::string(kKey)] = bigEndianDigest;
    return json::dump(record);
}

}  // namespace corvanta
