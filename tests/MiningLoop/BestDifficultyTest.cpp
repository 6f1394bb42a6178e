#include <gtest/gtest.h>

#include "StoreFaults.h"
#include "TestSupport.h"
#include "corvanta/loop/BestDifficultyTracker.h"
#include "corvanta/mining/Difficulty.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes digestStartingWith(std::uint8_t first, std::uint8_t second) {
    Bytes digest(32, 0xAB);
    digest[0] = first;
    digest[1] = second;
    return digest;
}

std::string arrayOf(std::size_t count, int value) {
    std::string text = "{\"bestDigestBigEndianBytes\":[";
    for (std::size_t i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(value);
    return text + "]}";
}

TEST(BestDifficultyStore, LoadsOnlyThirtyTwoBytes) {
    TempDir folder;
    const BestDifficultyStore store(folder.path() / "deep" / "regtest.json");
    EXPECT_FALSE(store.load());

    const auto digest = digestStartingWith(0, 7);
    store.save(digest);  // creates the missing folders
    const auto loaded = store.load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Bytes(loaded->begin(), loaded->end()), digest);

    for (const auto& text :
         {arrayOf(31, 1), arrayOf(33, 1), arrayOf(32, 256), std::string("[]"),
          std::string("{\"bestDigestBigEndianBytes\":\"00\"}"),
          // No header hashes to zero: it would be a best that nothing could ever beat.
          arrayOf(32, 0), arrayOf(31, 0).insert(29, "1e400,"),
          "{\"bestDigestBigEndianBytes\":" + std::string(75'000, '[') + std::string(75'000, ']') +
              "}"}) {
        writeFileAtomically(store.fileURL(), text);
        EXPECT_FALSE(store.load()) << text;
    }
    writeFileAtomically(store.fileURL(),
                        " {\n \"bestDigestBigEndianBytes\" : " + arrayOf(32, 255).substr(28));
    EXPECT_TRUE(store.load());
}

TEST(BestDifficultyStore, RefusesToSaveAnythingButThirtyTwoBytes) {
    TempDir folder;
    const BestDifficultyStore store(folder.path() / "regtest.json");
    store.save(digestStartingWith(0, 1));
    EXPECT_THROW(store.save(Bytes(31, 0)), std::invalid_argument);
    EXPECT_THROW(store.save(Bytes{}), std::invalid_argument);
    // The earlier best survives the refused writes.
    EXPECT_EQ(store.load().value()[1], 1);
}

TEST(BestDifficultyTracker, KeepsTheLowestDigestAcrossSessions) {
    TempDir folder;
    const BestDifficultyStore store(folder.path() / "regtest.json");
    const Bytes target(32, 0x7F);
    {
        BestDifficultyTracker tracker(store);
        EXPECT_FALSE(tracker.report(std::nullopt, target));
        EXPECT_FALSE(store.load());  // an absent digest never touches the store

        const auto first = tracker.report(digestStartingWith(0, 9), target);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->session, first->allTime);
        EXPECT_DOUBLE_EQ(first->network, Difficulty::value(target));
        EXPECT_EQ(store.load().value()[1], 9);
    }
    // A new session starts from the stored best: a worse digest changes nothing.
    BestDifficultyTracker tracker(store);
    const auto worse = tracker.report(digestStartingWith(0, 20), target);
    ASSERT_TRUE(worse);
    EXPECT_LT(worse->session, worse->allTime);
    EXPECT_DOUBLE_EQ(worse->allTime, Difficulty::value(digestStartingWith(0, 9)));

    const auto modified = std::filesystem::last_write_time(store.fileURL());
    tracker.report(digestStartingWith(0, 9), target);  // equal: not an improvement
    EXPECT_EQ(std::filesystem::last_write_time(store.fileURL()), modified);

    tracker.report(digestStartingWith(0, 3), target);
    EXPECT_EQ(store.load().value()[1], 3);
}

TEST(BestDifficultyTracker, KeepsAnImprovementInMemoryWhenTheStoreCannotBeWritten) {
    TempDir folder;
    // A folder where the file goes, which cannot be set aside either: nothing may replace it.
    std::filesystem::create_directories(folder.path() / "blocked.json");
    testing::occupyAsideNames(folder.path() / "blocked.json");
    BestDifficultyTracker tracker{BestDifficultyStore(folder.path() / "blocked.json")};
    tracker.report(digestStartingWith(0, 5), Bytes(32, 0xFF));
    const auto later = tracker.report(digestStartingWith(0, 8), Bytes(32, 0xFF));
    ASSERT_TRUE(later);
    EXPECT_DOUBLE_EQ(later->allTime, Difficulty::value(digestStartingWith(0, 5)));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "blocked.json"));
}

}  // namespace
}  // namespace corvanta
