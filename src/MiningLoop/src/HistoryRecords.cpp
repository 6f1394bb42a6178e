#include "HistoryRecords.h"

#include <cstring>
#include <stdexcept>

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

std::size_t HistoryRecords::ByHash::operator()(const Hash& hash) const {
    // A block hash is uniformly spread but for its zeros, which end it in hash byte order.
    std::size_t value = 0;
    std::memcpy(&value, hash.data(), sizeof value);
    return value;
}

std::size_t HistoryRecords::ByHash::operator()(std::uint32_t position) const {
    return (*this)((*records)[position].blockHash);
}

HistoryRecords::HistoryRecords() : index_(0, ByHash{&records_}, SameHash{&records_}) {}

std::optional<std::size_t> HistoryRecords::find(const Hash& blockHash) const {
    const auto found = index_.find(blockHash);
    if (found == index_.end()) return std::nullopt;
    return *found;
}

void HistoryRecords::append(const HistoryRecord& record) {
    records_.push_back(record);
    index_.insert(std::uint32_t(records_.size() - 1));
}

}  // namespace corvanta::loop
