#include "HistoryRecords.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "corvanta/support/Uuid.h"

namespace corvanta::loop {
namespace {

template <std::size_t N>
std::array<std::uint8_t, N> fixed(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() != N) throw std::invalid_argument("a hash of the wrong length");
    std::array<std::uint8_t, N> array{};
    std::memcpy(array.data(), bytes.data(), N);
    return array;
}

}  // namespace

HistoryRecord HistoryRecord::of(const FoundBlock& block) {
    const auto id = uuidBytes(block.id);
    if (!id) throw std::invalid_argument("a record's id is a UUID");
    return {.blockHash = fixed<32>(block.blockHash),
            .coinbaseTxID = fixed<32>(block.coinbaseTxID),
            .id = *id,
            .rewardSats = block.rewardSats,
            .foundAtSeconds = block.foundAt.time_since_epoch().count(),
            .confirmations = block.confirmations,
            .height = std::int32_t(block.height),
            .status = block.status};
}

FoundBlock HistoryRecord::block() const {
    return {.id = uuidText(id),
            .height = height,
            .blockHash = {blockHash.begin(), blockHash.end()},
            .coinbaseTxID = {coinbaseTxID.begin(), coinbaseTxID.end()},
            .rewardSats = rewardSats,
            .foundAt = WholeSeconds(std::chrono::seconds(foundAtSeconds)),
            .confirmations = confirmations,
            .status = status};
}

// The slot where the search for a block hash starts. A block hash is uniformly spread but for
// its zeros, which end it in hash byte order; all of it is mixed in all the same, so that hashes
// sharing a prefix (a test's, a hand-made file's) do not pile up on one slot.
std::size_t HistoryRecords::slotOf(const Hash& blockHash) const {
    const std::string_view bytes(reinterpret_cast<const char*>(blockHash.data()), blockHash.size());
    return std::hash<std::string_view>{}(bytes) & (slots_.size() - 1);
}

std::optional<std::size_t> HistoryRecords::find(const Hash& blockHash) const {
    if (slots_.empty()) return std::nullopt;
    for (std::size_t slot = slotOf(blockHash);; slot = (slot + 1) & (slots_.size() - 1)) {
        const std::uint32_t position = slots_[slot];
        if (position == kEmptySlot) return std::nullopt;
        if ((*this)[position].blockHash == blockHash) return position;
    }
}

void HistoryRecords::placeInIndex(std::uint32_t position) {
    std::size_t slot = slotOf((*this)[position].blockHash);
    while (slots_[slot] != kEmptySlot) slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = position;
}

void HistoryRecords::append(const HistoryRecord& record) {
    if (size_ >= kEmptySlot) throw std::length_error("the history holds 2^32 - 1 records at most");
    if (size_ % kBlockRecords == 0) blocks_.push_back(std::make_unique<Block>());
    (*this)[size_] = record;
    ++size_;
    if (2 * size_ > slots_.size()) {
        // Doubled and filled again; with at most half the slots in use a search ends soon.
        slots_.assign(std::max<std::size_t>(64, 2 * slots_.size()), kEmptySlot);
        for (std::size_t position = 0; position < size_; ++position) {
            placeInIndex(std::uint32_t(position));
        }
        return;
    }
    placeInIndex(std::uint32_t(size_ - 1));
}

}  // namespace corvanta::loop
