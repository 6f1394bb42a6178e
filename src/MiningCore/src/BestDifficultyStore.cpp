#include "corvanta/mining/BestDifficultyStore.h"

#include <algorithm>

#include "corvanta/support/AtomicFile.h"
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
        return decode(readFile(fileURL_));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void BestDifficultyStore::save(std::span<const std::uint8_t> bigEndianDigest) const {
    if (bigEndianDigest.size() != 32) {
        throw std::invalid_argument("a best digest has 32 bytes, not " +
                                    std::to_string(bigEndianDigest.size()));
    }
    Digest digest;
    std::copy(bigEndianDigest.begin(), bigEndianDigest.end(), digest.begin());
    writeFileAtomically(fileURL_, encode(digest));
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
