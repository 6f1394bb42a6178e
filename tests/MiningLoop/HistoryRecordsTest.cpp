#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "HistoryRecords.h"

namespace corvanta::loop {
namespace {

HistoryRecord recordWithHash(const HistoryRecords::Hash& hash, std::int32_t height) {
    HistoryRecord record;
    record.blockHash = hash;
    record.height = height;
    return record;
}

// Positions stay what they were while the index grows past several doublings and the storage
// past several blocks; hashes that share a long prefix, or all but their last byte, are told
// apart.
TEST(HistoryRecords, FindsEveryRecordByItsHashAcrossGrowth) {
    std::mt19937_64 random(7);
    std::vector<HistoryRecords::Hash> hashes;
    for (int i = 0; i < 5000; ++i) {
        HistoryRecords::Hash hash{};
        for (auto& byte : hash) byte = std::uint8_t(random());
        if (i % 3 == 0) std::fill(hash.begin(), hash.begin() + 24, 0x11);  // a shared prefix
        if (i % 5 == 0) {
            std::fill(hash.begin(), hash.end() - 1, 0x22);  // only the last byte differs
            hash.back() = std::uint8_t(i / 5);
        }
        hashes.push_back(hash);
    }
    std::sort(hashes.begin(), hashes.end());
    hashes.erase(std::unique(hashes.begin(), hashes.end()), hashes.end());
    std::shuffle(hashes.begin(), hashes.end(), random);

    HistoryRecords records;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        records.append(recordWithHash(hashes[i], std::int32_t(i)));
        ASSERT_EQ(records.find(hashes[i]), i);
    }
    ASSERT_EQ(records.size(), hashes.size());
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        ASSERT_EQ(records.find(hashes[i]), i);
        EXPECT_EQ(records[i].height, std::int32_t(i));
    }
    std::size_t visited = 0;
    for (const auto& record : records) EXPECT_EQ(record.height, std::int32_t(visited++));
    EXPECT_EQ(visited, hashes.size());

    HistoryRecords::Hash unknown{};
    unknown.fill(0x33);
    EXPECT_EQ(records.find(unknown), std::nullopt);
    EXPECT_EQ(HistoryRecords().find(unknown), std::nullopt);

    // A record changed in place keeps its position.
    records[42].confirmations = 100;
    EXPECT_EQ(records[*records.find(hashes[42])].confirmations, 100);
}

}  // namespace
}  // namespace corvanta::loop
