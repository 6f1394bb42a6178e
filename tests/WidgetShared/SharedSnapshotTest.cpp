#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "TestSupport.h"
#include "corvanta/shared/MinerSnapshot.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {

void PrintTo(const MinerSnapshot& snapshot, std::ostream* out) {
    *out << snapshot.encodeJSON().value_or("<not encodable>");
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

const MinerSnapshot full{
    .hashRateMHs = 12.345678901234567,
    .isRunning = true,
    .isPaused = false,
    .appliedMode = "balanced",
    .secondsSinceNetworkBlock = 421.75,
    .totalSats = 312'500'000'123LL,
    .blocksFound = 2,
    .capturedAt = ReferenceDate{786'543'210.123456789},  // a fraction the text must carry exactly
    .language = std::nullopt,
    .writerProcessID = std::nullopt,
    .updateIntervalSeconds = std::nullopt,
};

// A temporary home folder; HOME and XDG_DATA_HOME are restored after the test.
class TemporaryHome : public ::testing::Test {
  protected:
    testing::TempDir dir_;
    const fs::path root_ = dir_.path();
    const fs::path container_ = root_ / "container";
    const fs::path file_ = container_ / "miner-snapshot.json";
    testing::ScopedEnv home_{"HOME", (root_ / "home").string()};
    testing::ScopedEnv dataHome_{"XDG_DATA_HOME", std::nullopt};
};

TEST_F(TemporaryHome, SnapshotRoundTripsExactlyAndAbsentOptionalsAreLeftOut) {
    SharedContainer::write(full, container_);
    EXPECT_EQ(SharedContainer::read(container_), full);
    const auto stored = json::parse(readFile(file_));
    EXPECT_EQ(stored.at("totalSats"), 312'500'000'123LL);
    EXPECT_EQ(stored.at("capturedAt").get<double>(), 786'543'210.123456789);
    EXPECT_EQ(std::distance(fs::directory_iterator(container_), fs::directory_iterator()), 1)
        << "nothing but the snapshot is left in the folder";
    // The reference date is 2001-01-01 00:00:00 UTC.
    EXPECT_EQ(ReferenceDate::from(sys_days(2001y / January / 1) + milliseconds(1500)),
              ReferenceDate{1.5});

    auto partial = full;
    partial.appliedMode.reset();
    partial.secondsSinceNetworkBlock.reset();
    SharedContainer::write(partial, container_);
    auto text = json::parse(readFile(file_));
    EXPECT_EQ(text.size(), 6u);
    text["appliedMode"] = nullptr;  // null reads as absent too
    writeFileAtomically(file_, text.dump());
    EXPECT_EQ(SharedContainer::read(container_), partial);
}

TEST_F(TemporaryHome, UnreadableFilesReadAsNoSnapshot) {
    EXPECT_EQ(SharedContainer::read(container_), std::nullopt) << "missing file";
    const auto good = json::parse(full.encodeJSON().value());
    const auto with = [&](const std::string& key, const json::Value& value) {
        auto copy = good;
        value.is_discarded() ? (void)copy.erase(key) : (void)(copy[key] = value);
        return copy.dump();
    };
    for (const std::string& text :
         {with("totalSats", json::Value::value_t::discarded), with("isRunning", "yes"),
          with("blocksFound", 1.5), with("totalSats", 1e20), with("appliedMode", 7),
          with("capturedAt", nullptr), std::string("[1,2]"), std::string("{\"hashRate"),
          std::string(), with("appliedMode", "turbo"), with("appliedMode", ""),
          with("totalSats", -1), with("blocksFound", -1), with("capturedAt", 1e10),
          with("capturedAt", -1e300), std::string(R"({"capturedAt":1e400})")}) {
        writeFileAtomically(file_, text);
        EXPECT_EQ(SharedContainer::read(container_), std::nullopt) << text;
    }
}

TEST_F(TemporaryHome, SnapshotThatJsonCannotCarryIsNotWrittenOverTheLastOne) {
    SharedContainer::write(full, container_);
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        auto snapshot = full;
        snapshot.hashRateMHs = bad;
        SharedContainer::write(snapshot, container_);
        snapshot = full;
        snapshot.secondsSinceNetworkBlock = bad;
        SharedContainer::write(snapshot, container_);
    }
    EXPECT_EQ(SharedContainer::read(container_), full);
}

TEST_F(TemporaryHome, ContainerSitsInTheDataFolderAndIsCreatedOnFirstWrite) {
    const auto defaultContainer = root_ / "home/.local/share/H3VQ8ZT5LM.group.rigwell";
    EXPECT_EQ(SharedContainer::snapshotURL(), defaultContainer / "miner-snapshot.json");
    for (const char* ignored : {"", "relative/data"}) {
        ::setenv("XDG_DATA_HOME", ignored, 1);
        EXPECT_EQ(SharedContainer::containerURL(), defaultContainer) << ignored;
    }

    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    const auto container = root_ / "data/H3VQ8ZT5LM.group.rigwell";
    EXPECT_EQ(SharedContainer::containerURL(), container);
    EXPECT_EQ(SharedContainer::read(), std::nullopt);
    SharedContainer::write(full);
    EXPECT_TRUE(fs::is_regular_file(container / "miner-snapshot.json"));
    EXPECT_EQ(SharedContainer::read(), full);
}

TEST(MinerSnapshot, FreshForFiveMinutesAndNeverFromTheFuture) {
    const auto capturedAt = sys_days(2026y / December / 6) + hours(22);
    auto snapshot = full;
    snapshot.capturedAt = ReferenceDate::from(capturedAt);
    EXPECT_TRUE(snapshot.isFresh(capturedAt + seconds(300)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt + milliseconds(300'500)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt - seconds(1)));
    snapshot.capturedAt = ReferenceDate{std::numeric_limits<double>::quiet_NaN()};
    EXPECT_FALSE(snapshot.isFresh(capturedAt));
}

TEST_F(TemporaryHome,
       WhatTheWriterAddsForTheWidgetsIsOptionalAndCheckedAndOlderKeysStayAsTheyWere) {
    auto published = full;
    published.language = "de";
    published.writerProcessID = 4242;
    published.updateIntervalSeconds = 1;
    SharedContainer::write(published, container_);
    EXPECT_EQ(SharedContainer::read(container_), published);
    // A reader that knows only the first eight keys finds each of them as before.
    const auto stored = json::parse(readFile(file_));
    EXPECT_EQ(stored.size(), 11u);
    EXPECT_EQ(stored.at("isRunning"), true);
    EXPECT_EQ(stored.at("capturedAt").get<double>(), 786'543'210.123456789);
    EXPECT_EQ(stored.at("language"), "de");
    EXPECT_EQ(stored.at("writerProcessID"), 4242);

    const auto with = [&](const std::string& key, const json::Value& value) {
        auto copy = stored;
        copy[key] = value;
        return copy.dump();
    };
    for (const std::string& text :
         {with("writerProcessID", 0), with("writerProcessID", -5), with("writerProcessID", 1.5),
          with("updateIntervalSeconds", 0), with("updateIntervalSeconds", -1),
          with("updateIntervalSeconds", "1"), with("language", 3)}) {
        writeFileAtomically(file_, text);
        EXPECT_EQ(SharedContainer::read(container_), std::nullopt) << text;
    }
    // A language the widgets do not speak is still a snapshot: they fall back on the system's.
    writeFileAtomically(file_, with("language", "nl"));
    ASSERT_TRUE(SharedContainer::read(container_).has_value());
    EXPECT_EQ(SharedContainer::read(container_)->language, "nl");
}

TEST(MinerSnapshot, AWriterThatNamesItsIntervalIsStaleOnceItMissesItsUpdatesByTheGrace) {
    const auto capturedAt = sys_days(2026y / December / 6) + hours(22);
    auto snapshot = full;
    snapshot.capturedAt = ReferenceDate::from(capturedAt);
    snapshot.updateIntervalSeconds = 1;
    EXPECT_TRUE(snapshot.isFresh(capturedAt + seconds(6)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt + milliseconds(6'500)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt - seconds(1)));
    // Never fresher than any snapshot: five minutes at most, whatever interval it names.
    snapshot.updateIntervalSeconds = 1e9;
    EXPECT_TRUE(snapshot.isFresh(capturedAt + seconds(300)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt + seconds(301)));
}

TEST(MinerSnapshot, ASnapshotWhoseWriterHasEndedShowsAStoppedMinerWithItsCounts) {
    auto snapshot = full;
    snapshot.isPaused = true;
    snapshot.writerProcessID = 77;
    const auto gone = snapshot.seenByReader([](std::int64_t id) { return id != 77; });
    EXPECT_FALSE(gone.isRunning);
    EXPECT_FALSE(gone.isPaused);
    EXPECT_EQ(gone.hashRateMHs, 0);
    EXPECT_EQ(gone.totalSats, full.totalSats);
    EXPECT_EQ(gone.blocksFound, full.blocksFound);
    EXPECT_EQ(gone.capturedAt, full.capturedAt);
    EXPECT_EQ(snapshot.seenByReader([](std::int64_t) { return true; }), snapshot);
    // Without a named writer (an older application) nothing is assumed.
    EXPECT_EQ(full.seenByReader([](std::int64_t) { return false; }), full);

    // The real check: this process runs; a child that has been reaped does not.
    EXPECT_TRUE(processRunning(::getpid()));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_FALSE(processRunning(child));
    EXPECT_FALSE(processRunning(0)) << "0 names a process group";
    EXPECT_FALSE(processRunning(-1));
    EXPECT_FALSE(processRunning(std::int64_t(1) << 40));
}

TEST(ReferenceDate, ClampsWhatTheClockCannotHold) {
    using Clock = std::chrono::system_clock;
    const auto latest = std::chrono::floor<seconds>(Clock::time_point::max());
    const auto earliest = std::chrono::ceil<seconds>(Clock::time_point::min());
    for (const auto& [seconds, expected] : std::vector<std::pair<double, Clock::time_point>>{
             {1e10, latest},
             {1e300, latest},
             {HUGE_VAL, latest},
             {-1e11, earliest},
             {std::numeric_limits<double>::quiet_NaN(), earliest},
             {0, sys_days(2001y / 1 / 1)}}) {
        const ReferenceDate date{seconds};
        EXPECT_EQ(date.timePoint(), expected) << seconds;
        EXPECT_EQ(date.fitsTimePoint(), seconds == 0) << seconds;
    }
}

}  // namespace
}  // namespace corvanta
