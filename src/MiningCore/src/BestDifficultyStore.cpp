#include "corvanta/mining/BestDifficultyStore.h"

#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {
constexpr std::string_view kKey = "bestDigestBigEndianBytes";
}

BestDifficultyStore::BestDifficultyStore(std::filesystem::path fileURL)
    : fileURL_(std::move(fileURL)) {}

std::optional<BestDifficultyStore::Digest> BestDifficultyStore::load() const {
    try {
        const auto record = json::parse(readFile(fileURL_));
        const auto bytes = json::required<json::Value>(record, kKey);
        if (!bytes.is_array() || bytes.size() != 32) return std::nullopt;
        Digest digest;
        for (std::size_t i = 0; i < digest.size(); ++i) {
            digest[i] = json::as<std::uint8_t>(bytes[i], kKey);
        }
        return digest;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void BestDifficultyStore::save(std::span<const std::uint8_t> bigEndianDigest) const {
    if (bigEndianDigest.size() != 32) {
        throw std::invalid_argument("a best digest has 32 bytes, not " +
                                    std::to_string(bigEndianDigest.size()));
    }
    json::Value record = json::Value::object();
    record[std::string(kKey)] =
        std::vector<std::uint8_t>(bigEndianDigest.begin(), bigEndianDigest.end());
    writeFileAtomically(fileURL_, json::dump(record));
}

}  // namespace corvanta
