#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <string>

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

MinerSnapshot fullSnapshot() {
    return MinerSnapshot{
        .hashRateMHs = 12.345678901234567,
        .isRunning = true,
        .isPaused = false,
        .appliedMode = "balanced",
        .secondsSinceNetworkBlock = 421.75,
        .totalSats = 312'500'000'123LL,
        .blocksFound = 2,
        // A date with a fraction that a decimal text must carry exactly.
        .capturedAt = ReferenceDate{786'543'210.123456789},
    };
}

// A temporary folder standing for the user's data folder; the environment is restored after.
class TemporaryHome : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("corvanta-shared-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(std::random_device{}()));
        fs::create_directories(root_);
        save("HOME");
        save("XDG_DATA_HOME");
        ::setenv("HOME", (root_ / "home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        fs::remove_all(root_);
    }
    const fs::path& root() const { return root_; }
    fs::path container() const { return root_ / "container"; }
    void putSnapshotText(const std::string& text) {
        fs::create_directories(container());
        std::ofstream(container() / "miner-snapshot.json") << text;
    }

  private:
    void save(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }

    fs::path root_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(TemporaryHome, SnapshotRoundTripsExactlyWithTheFieldNamesAsKeys) {
    const auto snapshot = fullSnapshot();
    SharedContainer::write(snapshot, container());
    EXPECT_EQ(SharedContainer::read(container()), snapshot);

    const auto stored = json::parse(readFile(container() / "miner-snapshot.json"));
    EXPECT_EQ(stored.size(), 8u);
    EXPECT_EQ(stored.at("appliedMode"), "balanced");
    EXPECT_EQ(stored.at("totalSats"), 312'500'000'123LL);
    EXPECT_EQ(stored.at("capturedAt").get<double>(), 786'543'210.123456789);
    // Nothing but the snapshot is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(container()), fs::directory_iterator()), 1);
}

TEST_F(TemporaryHome, AbsentOptionalsAreLeftOutAndReadBackAbsent) {
    auto snapshot = fullSnapshot();
    snapshot.appliedMode.reset();
    snapshot.secondsSinceNetworkBlock.reset();
    SharedContainer::write(snapshot, container());

    const auto stored = json::parse(readFile(container() / "miner-snapshot.json"));
    EXPECT_FALSE(stored.contains("appliedMode"));
    EXPECT_FALSE(stored.contains("secondsSinceNetworkBlock"));
    EXPECT_EQ(SharedContainer::read(container()), snapshot);

    putSnapshotText(R"({"blocksFound":0,"capturedAt":5,"hashRateMHs":1,"isPaused":true,)"
                    R"("isRunning":true,"totalSats":0,"appliedMode":null,)"
                    R"("secondsSinceNetworkBlock":null})");
    const auto read = SharedContainer::read(container());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->appliedMode, std::nullopt);
    EXPECT_EQ(read->secondsSinceNetworkBlock, std::nullopt);
    EXPECT_EQ(read->capturedAt, ReferenceDate{5});
}

TEST_F(TemporaryHome, UnreadableFilesReadAsNoSnapshot) {
    EXPECT_EQ(SharedContainer::read(container()), std::nullopt) << "missing file";
    for (const std::string text : {
             R"({"blocksFound":0,"capturedAt":5,"hashRateMHs":1,"isPaused":true,"isRunning":true})",
             R"({"blocksFound":0,"capturedAt":5,"hashRateMHs":1,"isPaused":true,"isRunning":"yes",)"
             R"("totalSats":0})",
             R"({"blocksFound":1.5,"capturedAt":5,"hashRateMHs":1,"isPaused":true,)"
             R"("isRunning":true,"totalSats":0})",
             R"({"blocksFound":0,"capturedAt":5,"hashRateMHs":1,"isPaused":true,)"
             R"("isRunning":true,"totalSats":99999999999999999999})",
             R"({"blocksFound":0,"capturedAt":5,"hashRateMHs":1,"isPaused":true,)"
             R"("isRunning":true,"totalSats":0,"appliedMode":7})",
             "[1,2,3]",
             "{\"hashRateMHs\":",
             "",
         }) {
        putSnapshotText(text);
        EXPECT_EQ(SharedContainer::read(container()), std::nullopt) << text;
    }
}

TEST_F(TemporaryHome, SnapshotThatJsonCannotCarryIsNotWrittenOverTheLastOne) {
    const auto good = fullSnapshot();
    SharedContainer::write(good, container());
    for (const double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        auto snapshot = fullSnapshot();
        snapshot.hashRateMHs = bad;
        SharedContainer::write(snapshot, container());
        snapshot = fullSnapshot();
        snapshot.secondsSinceNetworkBlock = bad;
        SharedContainer::write(snapshot, container());
    }
    EXPECT_EQ(SharedContainer::read(container()), good);
}

TEST_F(TemporaryHome, ContainerSitsInTheDataFolderAndIsCreatedOnFirstWrite) {
    const auto defaultContainer = root() / "home/.local/share/H3VQ8ZT5LM.group.rigwell";
    EXPECT_EQ(SharedContainer::snapshotURL(), defaultContainer / "miner-snapshot.json");
    ::setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(SharedContainer::containerURL(), defaultContainer);
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(SharedContainer::containerURL(), defaultContainer);

    ::setenv("XDG_DATA_HOME", (root() / "data").c_str(), 1);
    const auto container = root() / "data/H3VQ8ZT5LM.group.rigwell";
    EXPECT_EQ(SharedContainer::containerURL(), container);
    EXPECT_FALSE(fs::exists(container));
    EXPECT_EQ(SharedContainer::read(), std::nullopt);

    SharedContainer::write(fullSnapshot());
    EXPECT_TRUE(fs::is_regular_file(container / "miner-snapshot.json"));
    EXPECT_EQ(SharedContainer::read(), fullSnapshot());
}

TEST(MinerSnapshot, FreshForFiveMinutesAndNeverFromTheFuture) {
    const auto capturedAt = sys_days(2026y / December / 6) + hours(22);
    MinerSnapshot snapshot;
    snapshot.capturedAt = ReferenceDate::from(capturedAt);

    EXPECT_TRUE(snapshot.isFresh(capturedAt));
    EXPECT_TRUE(snapshot.isFresh(capturedAt + seconds(300)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt + milliseconds(300'500)));
    EXPECT_FALSE(snapshot.isFresh(capturedAt - seconds(1)));

    snapshot.capturedAt = ReferenceDate{std::numeric_limits<double>::quiet_NaN()};
    EXPECT_FALSE(snapshot.isFresh(capturedAt));
}

TEST(ReferenceDate, CountsSecondsFromTheStartOf2001) {
    const auto reference = sys_days(2001y / January / 1);
    EXPECT_EQ(ReferenceDate::from(reference).secondsSinceReferenceDate, 0.0);
    EXPECT_EQ(ReferenceDate::from(sys_days(1970y / January / 1)).secondsSinceReferenceDate,
              -978'307'200.0);
    EXPECT_EQ(ReferenceDate{1.5}.timePoint(), reference + milliseconds(1500));

    MinerSnapshot snapshot;
    snapshot.capturedAt = ReferenceDate::from(reference);
    const auto stored = json::parse(snapshot.encodeJSON().value());
    EXPECT_TRUE(stored.at("capturedAt").is_number());
    EXPECT_EQ(stored.at("capturedAt").get<double>(), 0.0);
}

}  // namespace
}  // namespace corvanta
