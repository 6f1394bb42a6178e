#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "NodeLaunchRecord.h"
#include "OddFiles.h"
#include "ProcessInfo.h"
#include "TestSupport.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

NodeLaunchRecord sampleRecord(const fs::path& dataDirectory) {
    return NodeLaunchRecord{
        {4242, 987654321}, "/opt/corvanta/libexec/bitcoind", dataDirectory, {4100, 987650000}};
}

TEST(ProcessInfoTest, ReadsTheStartTimeWhateverTheCommandNameHolds) {
    // A name may hold spaces and parentheses; the fields go on after the last ')'.
    const std::string fields = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 123456789 20 21";
    const auto stat = ProcessInfo::parseStat("77 (bit (coin) d) x)" + fields);
    ASSERT_TRUE(stat.has_value());
    EXPECT_EQ(stat->state, 'S');
    EXPECT_EQ(stat->startTime, 123456789u);

    for (const std::string& bad :
         {std::string(), std::string("77 bitcoind S 1 2"), "77 (bitcoind)" + fields.substr(0, 30),
          std::string("77 (bitcoind) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 "
                      "15 16 17 18 12x456 20"),
          std::string("77 (bitcoind) SS 1 2 3 4 5 6 7 8 9 10 11 12 13 14 "
                      "15 16 17 18 19 20")}) {
        EXPECT_FALSE(ProcessInfo::parseStat(bad).has_value()) << bad;
    }

    // This very process, as /proc shows it.
    const ProcessIdentity self = ProcessInfo::self();
    EXPECT_EQ(self.pid, ::getpid());
    EXPECT_GT(self.startTime, 0u);
    EXPECT_TRUE(ProcessInfo::isLive(self));
    EXPECT_FALSE(ProcessInfo::isLive({self.pid, self.startTime + 1}));  // an earlier one, gone
    EXPECT_EQ(ProcessInfo::executable(::getpid()), fs::read_symlink("/proc/self/exe").string());
}

TEST(NodeLaunchRecordTest, LiesBesideTheDataFolderAndReadsBackWhatWasWritten) {
    const TempDir dir;
    const fs::path data = dir.path() / "node" / "regtest";
    const fs::path file = dir.path() / "node" / "regtest.node-process.json";
    EXPECT_EQ(NodeLaunchRecord::location(data), file);
    EXPECT_EQ(NodeLaunchRecord::location(data.string() + "/"), file);

    const NodeLaunchRecord record = sampleRecord(data);
    record.write(file);
    EXPECT_EQ(NodeLaunchRecord::read(file), record);

    // Only the record of that very node is removed: a later launch's stays.
    NodeLaunchRecord::removeIfNaming(file, {4242, 1});
    EXPECT_TRUE(fs::exists(file));
    NodeLaunchRecord::removeIfNaming(file, record.node);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(NodeLaunchRecord::read(file).has_value());
    NodeLaunchRecord::removeIfNaming(file, record.node);  // nothing there: no harm
}

TEST(NodeLaunchRecordTest, ADamagedRecordIsNoRecord) {
    const TempDir dir;
    const fs::path file = dir.path() / "regtest.node-process.json";
    json::Value good = json::parse(sampleRecord(dir.path() / "regtest").encoded());
    const auto with = [&](const std::string& pointer, const json::Value& value) {
        json::Value changed = good;
        changed[json::Value::json_pointer(pointer)] = value;
        return json::dump(changed);
    };
    // The fuzz target covers the breadth; these are the cases a careless reader would take.
    for (const std::string& text :
         {std::string("{"), good.dump().substr(0, 40), with("/node/pid", "4242"),
          with("/node/pid", 1), with("/node/pid", 1e12), with("/node/startTime", -1),
          with("/launcher/pid", nullptr), with("/program", "")}) {
        testing::writeText(file, text);
        EXPECT_FALSE(NodeLaunchRecord::read(file).has_value()) << text;
    }
    // Something that is no record file at all.
    testing::writeText(file, std::string(1 << 20, ' ') + good.dump());
    EXPECT_FALSE(NodeLaunchRecord::read(file).has_value());
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_FALSE(NodeLaunchRecord::read(file).has_value());
    NodeLaunchRecord::removeIfNaming(file, {4242, 987654321});
    EXPECT_TRUE(fs::is_directory(file));
}

// What stands where the record goes and is no record is set aside whole before a launch writes
// its own, never written over; a record, or nothing, is left for the launch.
TEST(NodeLaunchRecordTest, WhatIsNoRecordIsSetAsideBeforeALaunchWritesItsOwn) {
    const NodeLaunchRecord record = sampleRecord("/data/regtest");
    for (const auto kind : testing::everyOddKind) {
        SCOPED_TRACE(testing::nameOf(kind));
        const TempDir dir;
        const fs::path file = dir.path() / "regtest.node-process.json";
        const auto placed =
            testing::placeOdd(kind, file, dir.path() / "elsewhere", record.encoded());
        EXPECT_FALSE(NodeLaunchRecord::read(file).has_value()) << "never read through a link";
        EXPECT_THROW(record.write(file), FileWriteError);
        struct stat status {};
        ASSERT_EQ(::lstat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_ino, placed.inode) << "not written over";
        const auto notice = NodeLaunchRecord::setAsideIfUnusable(file);
        ASSERT_TRUE(notice);
        EXPECT_NE(notice->find("set aside as"), std::string::npos) << *notice;
        EXPECT_EQ(testing::checkSetAside(placed, file), "");
        record.write(file);
        EXPECT_EQ(NodeLaunchRecord::read(file), record);
        EXPECT_FALSE(NodeLaunchRecord::setAsideIfUnusable(file)) << "a record stays";
    }
    const TempDir dir;
    const fs::path file = dir.path() / "regtest.node-process.json";
    EXPECT_FALSE(NodeLaunchRecord::setAsideIfUnusable(file)) << "nothing there";
    testing::writeText(file, "{");
    EXPECT_TRUE(NodeLaunchRecord::setAsideIfUnusable(file));
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace corvanta
