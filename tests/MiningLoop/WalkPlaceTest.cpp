// Where the walk of the chain stands, and what it does with a file in that place it cannot take.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "TestSupport.h"
#include "corvanta/loop/HistoryReconciliation.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/WalkPlace.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using HistoryReconciliation::readWalkPlace;
using HistoryReconciliation::WalkedThrough;
using testing::TempDir;

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

// Only a place this version wrote vouches for anything: the earlier forms counted the records from
// a history as they found it at start, which may just have been lost.
TEST(WalkPlace, IsReadAsWrittenAndTheEarlierFormsVouchForNothing) {
    TempDir dir;
    const auto file = dir.path() / "node" / "found-blocks-walked.json";
    // Missing: no place, nothing set aside, free to write.
    auto reading = readWalkPlace(file);
    EXPECT_FALSE(reading.place);
    EXPECT_FALSE(reading.problem);
    EXPECT_TRUE(reading.mayWrite);

    fs::create_directories(file.parent_path());
    // With what the history held there, and without it as 0.1.2 wrote it.
    for (const WalkedThrough& place : {WalkedThrough{40, hashText('a'), 3, hashText('c')},
                                       WalkedThrough{40, hashText('a'), 3}}) {
        HistoryReconciliation::writeWalkPlace(file, place);
        reading = readWalkPlace(file);
        EXPECT_EQ(reading.place, place);
        EXPECT_FALSE(reading.problem);
    }
    testing::writeText(file, R"({"checked":{"hash":")" + hashText('a') +
                                 R"(","height":5,"records":0,"digest":"ABC"}})");
    EXPECT_TRUE(readWalkPlace(file).problem);
    fs::remove_all(file.parent_path());
    fs::create_directories(file.parent_path());

    for (const std::string& earlier : {R"({"hash":")" + hashText('b') + R"(","height":7})",
                                       R"({"marks":{"01020304":{"firstMined":388,"hash":")" +
                                           hashText('b') + R"(","height":400,"records":12}}})"}) {
        testing::writeText(file, earlier);
        reading = readWalkPlace(file);
        EXPECT_FALSE(reading.place) << earlier;
        EXPECT_FALSE(reading.problem) << earlier;
        EXPECT_TRUE(reading.mayWrite);
    }
    EXPECT_TRUE(setAsideBeside(file).empty());
}

TEST(WalkPlace, AFileItCannotTakeIsRenamedAsideUnreadAndNeverWrittenOver) {
    TempDir dir;
    const auto file = dir.path() / "found-blocks-walked.json";
    const auto elsewhere = dir.path() / "elsewhere.json";
    const auto good = R"({"checked":{"hash":")" + hashText('a') + R"(","height":5,"records":0}})";
    const auto expectSetAside = [&](const char* what) -> fs::path {
        SCOPED_TRACE(what);
        const auto reading = readWalkPlace(file);
        EXPECT_FALSE(reading.place);
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

    testing::writeText(file, "{\"checked\":{\"he");
    expectSetAside("cut short");
    testing::writeText(file,
                       R"({"checked":{"height":-3,"records":0,"hash":")" + hashText('c') + "\"}}");
    expectSetAside("a height no chain has");
    testing::writeText(file, R"({"checked":{"height":3,"hash":")" + hashText('c') + "\"}}");
    expectSetAside("no record count");
    testing::writeText(file, "[]");
    expectSetAside("not an object");

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
    fs::resize_file(file, HistoryReconciliation::walkPlaceFileBound + 1);
    EXPECT_NE(expectSetAside("past the bound"), fs::path{});
}

TEST(WalkPlace, AFileThatCanBeNeitherReadNorMovedIsLeftAndNotWrittenOver) {
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
    const auto reading = readWalkPlace(file);
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
TEST(WalkPlace, AHistoryHoldingLessThanThePlaceVouchesForIsLost) {
    TempDir dir;
    MiningHistoryStore history(dir.path() / "history" / "regtest.json");
    for (std::uint8_t n = 1; n <= 3; ++n) {
        const std::vector<std::uint8_t> hash(32, n);
        history.recordSubmission(10 * n, hash, hash, 1, {SubmissionResult::Accepted{}},
                                 WallClock::now());
    }
    const auto placeAt = [](std::int64_t height, std::int64_t records) {
        return WalkedThrough{height, hashText('d'), records};
    };
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(20, 2)));
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(30, 3)));
    EXPECT_TRUE(HistoryReconciliation::historyLost(history, placeAt(20, 3)));
    EXPECT_TRUE(HistoryReconciliation::historyLost(history, placeAt(30, 4)));
    // A place below every record vouches for none.
    EXPECT_FALSE(HistoryReconciliation::historyLost(history, placeAt(5, 0)));

    // Set aside as undecodable: lost whatever the place says.
    const auto damaged = dir.path() / "damaged" / "regtest.json";
    testing::writeText(damaged, "[{\"height\":");
    const MiningHistoryStore setAside(damaged);
    ASSERT_TRUE(setAside.quarantinedFileURL());
    EXPECT_TRUE(HistoryReconciliation::historyLost(setAside, placeAt(5, 0)));
}

// However many records it counts, a history that refused anything at its reading, or that holds
// other records at or below the place than it did, vouches for nothing: a block held in a missing
// one's stead cannot hide the loss.
TEST(WalkPlace, AHistoryThatRefusedAnythingOrHoldsOtherRecordsIsLost) {
    const auto hashOf = [](std::uint8_t n) { return std::vector<std::uint8_t>(32, n); };
    // The journal's lines as recording blocks 1 to 3 (heights 10 to 30) wrote them: the first
    // went to the file, which a new history writes whole.
    std::vector<std::string> lines;
    const auto allButTheLast = [&] {
        std::string text;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) text += lines[i] + "\n";
        return text;
    };
    const struct {
        const char* scenario;
        std::function<void(const fs::path& file)> damage;
        std::initializer_list<std::uint8_t> heldAfter;  // recorded at the next start
        bool lost;
    } cases[] = {
        {"as it was", [](const fs::path&) {}, {}, false},
        {"a block held in a missing one's stead",
         [&](const fs::path& file) {
             testing::writeText(file.string() + ".journal", allButTheLast());
         },
         {4},
         true},
        {"a torn line beside a block held below the place",
         [&](const fs::path& file) {
             const auto torn = lines.back().substr(0, 40);
             testing::writeText(file.string() + ".journal", allButTheLast() + torn);
         },
         {4},
         true},
        {"an undecodable line, the count unchanged",
         [&](const fs::path& file) {
             testing::writeText(file.string() + ".journal",
                                allButTheLast() + lines.back() + "\n{\"not\": \"a record\"}\n");
         },
         {},
         true},
        {"a journal set aside, a link in its place",
         [&](const fs::path& file) {
             const auto journal = file.string() + ".journal";
             fs::rename(journal, file.string() + ".mine");
             fs::create_symlink(file.string() + ".mine", journal);
         },
         {},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        TempDir dir;
        const auto file = dir.path() / "history" / "regtest.json";
        MiningHistoryStore before(file);
        for (std::uint8_t n = 1; n <= 3; ++n) {
            before.recordSubmission(n * 10, hashOf(n), hashOf(n), 1, {SubmissionResult::Accepted{}},
                                    WallClock::now());
        }
        lines.clear();
        std::istringstream journal(testing::readText(file.string() + ".journal"));
        for (std::string text; std::getline(journal, text);) lines.push_back(text);
        ASSERT_EQ(lines.size(), 2u);
        const auto held = before.heldAtOrBelow(35);
        ASSERT_EQ(held.count, 3u);
        const WalkedThrough place{35, hashText('d'), 3, HistoryReconciliation::digestHex(held)};
        c.damage(file);
        MiningHistoryStore after(file);
        for (const auto n : c.heldAfter) {
            after.recordSubmission(n * 5, hashOf(n), hashOf(n), 1, {SubmissionResult::Accepted{}},
                                   WallClock::now());
        }
        EXPECT_EQ(HistoryReconciliation::historyLost(after, place), c.lost);
        // A place of 0.1.2 counted only: it cannot tell a block held in another's stead.
        if (!after.refusedAny()) {
            EXPECT_FALSE(
                HistoryReconciliation::historyLost(after, WalkedThrough{35, hashText('d'), 3}));
        }
    }
}

}  // namespace
}  // namespace corvanta
