// Where the walk of the chain stands, one place per mark, and what it does with a file in that
// place it cannot take.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/WalkPlaces.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using HistoryReconciliation::MarkPlace;
using HistoryReconciliation::readWalkPlaces;
using HistoryReconciliation::WalkedThrough;
using HistoryReconciliation::WalkPlaces;
using testing::TempDir;

const ExtranonceMark kOld{1, 2, 3, 4};
const ExtranonceMark kNew{0xa0, 0xb0, 0xc0, 0xd0};

std::string hashText(char digit) {
    return std::string(64, digit);
}

// Names in the folder other than the file itself: where a file it could not take went.
std::vector<fs::path> setAsideBeside(const fs::path& file) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with(file.stem().string() + ".unreadable-")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

TEST(WalkPlaces, EachMarkKeepsItsOwnPlaceAndTheEarlierFormIsTheCurrentMarks) {
    TempDir dir;
    const auto file = dir.path() / "node" / "found-blocks-walked.json";
    // Missing: no place, nothing set aside, free to write.
    auto reading = readWalkPlaces(file, kNew);
    EXPECT_TRUE(reading.places.empty());
    EXPECT_FALSE(reading.problem);
    EXPECT_TRUE(reading.mayWrite);

    const WalkPlaces places{{kOld, MarkPlace{WalkedThrough{40, hashText('a'), 3}, 12}},
                            {kNew, MarkPlace{std::nullopt, 90}}};
    HistoryReconciliation::writeWalkPlaces(file, places);
    reading = readWalkPlaces(file, kNew);
    EXPECT_EQ(reading.places, places);
    EXPECT_FALSE(reading.problem);

    // As the version before marks were kept wrote it: the place of whatever mark is in use.
    testing::writeText(file, R"({"hash":")" + hashText('b') + R"(","height":7})");
    reading = readWalkPlaces(file, kNew);
    EXPECT_EQ(reading.places,
              (WalkPlaces{{kNew, MarkPlace{WalkedThrough{7, hashText('b'), 0}, std::nullopt}}}));
    EXPECT_TRUE(setAsideBeside(file).empty());
}

TEST(WalkPlaces, AFileItCannotTakeIsRenamedAsideUnreadAndNeverWrittenOver) {
    TempDir dir;
    const auto file = dir.path() / "found-blocks-walked.json";
    const auto elsewhere = dir.path() / "elsewhere.json";
    const auto good = R"({"marks":{"01020304":{"firstMined":5}}})";
    const auto expectSetAside = [&](const char* what) -> fs::path {
        SCOPED_TRACE(what);
        const auto reading = readWalkPlaces(file, kNew);
        EXPECT_TRUE(reading.places.empty());
        EXPECT_TRUE(reading.problem);
        EXPECT_TRUE(reading.mayWrite);
        EXPECT_TRUE(reading.setAside);
        EXPECT_FALSE(fs::exists(fs::symlink_status(file)));
        if (!reading.setAside) return {};
        const auto aside = *reading.setAside;
        EXPECT_TRUE(fs::exists(fs::symlink_status(aside)));
        // Moved whole: a folder with what it held, a link still naming its file.
        const auto wasLink = fs::is_symlink(aside);
        fs::remove_all(aside);
        return wasLink ? aside / "link" : aside;
    };

    testing::writeText(file, "{\"marks\":{\"0102");
    expectSetAside("cut short");
    testing::writeText(file,
                       R"({"marks":{"01020304":{"height":-3,"hash":")" + hashText('c') + "\"}}}");
    expectSetAside("a height no chain has");
    testing::writeText(file, R"({"marks":{"0102030":{"firstMined":5}}})");
    expectSetAside("a mark of the wrong length");

    // A link is not read through, even to a good file; the file it names is left alone.
    testing::writeText(elsewhere, good);
    fs::create_symlink(elsewhere, file);
    EXPECT_EQ(expectSetAside("a link").filename(), "link");
    EXPECT_EQ(testing::readText(elsewhere), good);

    // A FIFO with no writer would hold a blocking open for ever.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    expectSetAside("a FIFO");

    fs::create_directory(file);
    expectSetAside("a folder");

    // Past the bound: moved, never read, whatever it holds.
    {
        std::ofstream out(file);
        out << good;
    }
    fs::resize_file(file, HistoryReconciliation::walkPlacesFileBound + 1);
    EXPECT_NE(expectSetAside("past the bound"), fs::path{});
}

TEST(WalkPlaces, AFileThatCanBeNeitherReadNorMovedIsLeftAndNotWrittenOver) {
    TempDir dir;
    const auto file = dir.path() / "found-blocks-walked.json";
    testing::writeText(file, "not a place");
    // Every name it could be moved to in the next seconds is taken.
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    for (auto s = now; s < now + 5; ++s) {
        testing::writeText(
            dir.path() / ("found-blocks-walked.unreadable-" + std::to_string(s) + ".json"),
            "an earlier one");
    }
    const auto reading = readWalkPlaces(file, kNew);
    EXPECT_TRUE(reading.problem);
    EXPECT_FALSE(reading.setAside);
    EXPECT_FALSE(reading.mayWrite);
    EXPECT_EQ(testing::readText(file), "not a place");
    for (auto s = now; s < now + 5; ++s) {
        EXPECT_EQ(testing::readText(dir.path() / ("found-blocks-walked.unreadable-" +
                                                  std::to_string(s) + ".json")),
                  "an earlier one");
    }
}

// What the place vouches for: the records the history held at or below it when it was written.
TEST(WalkPlaces, AHistoryHoldingLessThanThePlaceVouchesForIsLost) {
    TempDir dir;
    MiningHistoryStore history(dir.path() / "history" / "regtest.json");
    for (std::uint8_t n = 1; n <= 3; ++n) {
        const std::vector<std::uint8_t> hash(32, n);
        history.recordSubmission(10 * n, hash, hash, 1, {SubmissionResult::Accepted{}},
                                 WallClock::now());
    }
    const auto placeAt = [](std::int64_t height, std::int64_t records) {
        return MarkPlace{WalkedThrough{height, hashText('d'), records}, std::nullopt};
    };
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(20, 2)));
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(30, 3)));
    EXPECT_TRUE(HistoryReconciliation::historyLost(history, placeAt(20, 3)));
    EXPECT_TRUE(HistoryReconciliation::historyLost(history, placeAt(30, 4)));
    // A place of the earlier form vouches for no count; no place, for nothing.
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(5, 0)));
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, MarkPlace{}));

    // Set aside as undecodable: lost whatever the place says.
    const auto damaged = dir.path() / "damaged" / "regtest.json";
    testing::writeText(damaged, "[{\"height\":");
    const MiningHistoryStore setAside(damaged);
    ASSERT_TRUE(setAside.quarantinedFileURL());
    EXPECT_TRUE(HistoryReconciliation::historyLost(setAside, MarkPlace{}));
}

}  // namespace
}  // namespace corvanta
