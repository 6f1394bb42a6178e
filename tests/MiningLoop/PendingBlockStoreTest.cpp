#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>

#include "HashedPendingBlock.h"
#include "TestSupport.h"
#include "corvanta/loop/LoopRoutines.h"
#include "corvanta/loop/PendingBlockStore.h"
#include "corvanta/mining/Target.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using testing::TempDir;
using namespace std::chrono_literals;

PendingBlock pendingBlock(std::int64_t height, std::uint8_t seed, WallClock::time_point foundAt) {
    return testing::hashedPendingBlock(height, seed, foundAt);
}

// The block with another nonce, one whose header misses its target, and the hash of that header:
// a file that decodes, of a block that is no find.
PendingBlock missingItsTarget(PendingBlock block) {
    auto bytes = *BitcoinEncoding::hexBytes(block.blockHex);
    const auto target = *Target::fromCompactBits(0x207fffff);
    do {
        ++bytes[76];
    } while (target.isMet(doubleSHA256(std::span(bytes).first(80))));
    block.blockHex = BitcoinEncoding::hexString(bytes);
    block.blockHashHex = loop::displayHex(doubleSHA256(std::span(bytes).first(80)));
    return block;
}

std::size_t filesIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
}

TEST(PendingBlockStore, WritesUnderItsOwnNameAndReadsBackTheSameRecord) {
    TempDir folder;
    const auto directory = folder.path() / "rejected" / "pending";
    const auto foundAt = WallClock::time_point(std::chrono::milliseconds(1'700'000'000'900));
    const auto block = pendingBlock(7, 1, foundAt);
    PendingBlockStore::write(block, directory);

    const auto name = "pending-7-" + block.blockHashHex.substr(0, 16) + ".json";
    EXPECT_TRUE(std::filesystem::exists(directory / name));
    const auto text = readFile(directory / name);
    EXPECT_TRUE(text.starts_with("{\"blockHashHex\":\"" + block.blockHashHex)) << text;
    EXPECT_NE(text.find("\"foundAt\":\"2023-11-14T22:13:20Z\""), std::string::npos) << text;

    const auto loaded = PendingBlockStore::load(directory);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].block, block);
    EXPECT_EQ(loaded[0].block.foundAt.time_since_epoch(), 1'700'000'000s);
}

TEST(PendingBlockStore, SkipsWhatItCannotTrustAndSortsOldestFirst) {
    TempDir folder;
    EXPECT_TRUE(PendingBlockStore::load(folder.path() / "missing").empty());

    const auto now = WallClock::now();
    PendingBlockStore::write(pendingBlock(2, 1, now), folder.path());
    PendingBlockStore::write(pendingBlock(3, 2, now - 1s), folder.path());
    writeFileAtomically(folder.path() / "pending-9-bad.json", "{not json");
    writeFileAtomically(folder.path() / "pending-1.txt",
                        PendingBlockStore::encode(pendingBlock(1, 3, now)));
    using Edit = std::function<void(PendingBlock&)>;
    const std::vector<std::pair<const char*, Edit>> untrusted{
        // A hash that would put a path into a file name.
        {"path in hash", [](auto& b) { b.blockHashHex = "../../../../etc/" + b.blockHashHex; }},
        {"odd hex", [](auto& b) { b.blockHex = "abc"; }},
        {"negative height", [](auto& b) { b.height = -1; }},
        {"huge height", [](auto& b) { b.height = std::numeric_limits<std::int64_t>::max(); }},
        {"huge reward", [](auto& b) { b.rewardSats = std::numeric_limits<std::int64_t>::max(); }},
        {"negative reward", [](auto& b) { b.rewardSats = -1; }},
        {"one-byte block", [](auto& b) { b.blockHex = "00"; }},
        {"header only", [](auto& b) { b.blockHex.resize(160); }},
        {"hash of another header",
         [](auto& b) { b.blockHashHex = pendingBlock(1, 9, {}).blockHashHex; }},
        {"header over its target", [](auto& b) { b = missingItsTarget(b); }},
        // The lock time is the coinbase's last field, and the test blocks' last bytes.
        {"coinbase not the block's", [](auto& b) { b.blockHex.back() ^= 1; }},
        {"bytes after the last transaction", [](auto& b) { b.blockHex += "00"; }},
        {"more transactions than bytes", [](auto& b) { b.blockHex.replace(160, 2, "ff"); }},
    };
    int n = 10;
    for (const auto& [why, edit] : untrusted) {
        auto block = pendingBlock(n, 4, now);
        edit(block);
        const auto text = PendingBlockStore::encode(block);
        EXPECT_THROW(PendingBlockStore::decode(text), json::DecodeError) << why;
        writeFileAtomically(folder.path() / ("pending-" + std::to_string(n++) + "-x.json"), text);
    }
    writeFileAtomically(folder.path() / "pending-8-x.json", "1e400");

    const auto loaded = PendingBlockStore::load(folder.path());
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].block.height, 3);
    EXPECT_EQ(loaded[1].block.height, 2);
    // Bad files stay for a human to look at.
    EXPECT_EQ(filesIn(folder.path()), 5u + untrusted.size());
    auto hostile = pendingBlock(4, 4, now);
    hostile.blockHashHex = "../" + hostile.blockHashHex.substr(3);
    EXPECT_THROW(PendingBlockStore::write(hostile, folder.path()), FileWriteError);
}

TEST(PendingBlockStore, RemovesByTheLoadedPath) {
    TempDir folder;
    const auto block = pendingBlock(8, 5, WallClock::now());
    // A file whose name does not match its contents still goes away once answered.
    writeFileAtomically(folder.path() / "pending-8-renamed-by-hand.json",
                        PendingBlockStore::encode(block));
    const auto loaded = PendingBlockStore::load(folder.path());
    ASSERT_EQ(loaded.size(), 1u);
    PendingBlockStore::remove(loaded[0]);
    EXPECT_EQ(filesIn(folder.path()), 0u);
    PendingBlockStore::remove(block, folder.path());  // a missing file is fine
}

TEST(PendingBlocks, KeepsInMemoryWhatCannotBeWritten) {
    TempDir folder;
    writeFileAtomically(folder.path() / "pending", "a file where the folder should be");
    loop::PendingBlocks pending(folder.path() / "pending");
    const auto block = pendingBlock(9, 6, WallClock::now());
    pending.add(block);
    auto entries = pending.all();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].block, block);
    EXPECT_FALSE(entries[0].file);
    pending.remove(entries[0]);
    EXPECT_TRUE(pending.all().empty());

    // With a writable folder the block goes to disk and comes back from it.
    loop::PendingBlocks onDisk(folder.path() / "elsewhere");
    onDisk.add(block);
    entries = onDisk.all();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].file);
    onDisk.remove(block);
    EXPECT_TRUE(onDisk.all().empty());
}

// What the folder holds that is no pending block it can take is moved aside once, each with one
// line, and never read again; after the start, only the files written by this process are read.
TEST(PendingBlocks, SetsAsideOnceWhatItCannotTakeAndReadsTheFolderOnlyAtStart) {
    TempDir folder;
    const auto directory = folder.path() / "pending";
    const auto now = WallClock::now();
    const auto good = pendingBlock(1, 1, now - 2s);
    PendingBlockStore::write(good, directory);
    writeFileAtomically(directory / "pending-2-high.json",
                        PendingBlockStore::encode(missingItsTarget(pendingBlock(2, 2, now))));
    {
        std::ofstream big(directory / "pending-3-big.json");
        big << PendingBlockStore::encode(pendingBlock(3, 3, now));
    }
    std::filesystem::resize_file(directory / "pending-3-big.json",
                                 PendingBlockStore::kFileBound + 1);
    writeFileAtomically(folder.path() / "elsewhere.json",
                        PendingBlockStore::encode(pendingBlock(4, 4, now)));
    std::filesystem::create_symlink(folder.path() / "elsewhere.json",
                                    directory / "pending-4-link.json");
    ASSERT_EQ(::mkfifo((directory / "pending-5-fifo.json").c_str(), 0600), 0);
    std::filesystem::create_directory(directory / "pending-6-folder.json");
    writeFileAtomically(directory / "notes.txt", "not a pending file: not ours to judge");

    loop::PendingBlocks pending(directory);
    auto entries = pending.all();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].block, good);
    const auto notices = pending.takeNotices();
    ASSERT_EQ(notices.size(), 5u);
    for (const char* name : {"pending-2-high.json", "pending-3-big.json", "pending-4-link.json",
                             "pending-5-fifo.json", "pending-6-folder.json"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(directory / name)));
        EXPECT_TRUE(std::filesystem::exists(
            std::filesystem::symlink_status(directory / ("set-aside-" + std::string(name)))));
        EXPECT_EQ(std::count_if(
                      notices.begin(), notices.end(),
                      [&](const std::string& notice) {
                          return notice.find((directory / name).string()) != std::string::npos &&
                                 notice.find("never submitted nor counted") != std::string::npos;
                      }),
                  1);
    }
    // Each for what it is: the big one refused by its size alone, before a byte is read.
    for (const auto& [name, why] : std::vector<std::pair<std::string, std::string>>{
             {"pending-2-high.json", "does not meet its target"},
             {"pending-3-big.json", "larger than any block's record"},
             {"pending-4-link.json", "not a regular file"},
             {"pending-5-fifo.json", "not a regular file"}}) {
        EXPECT_NE(std::find_if(notices.begin(), notices.end(),
                               [&](const std::string& notice) {
                                   return notice.find((directory / name).string() +
                                                      " cannot be taken (") != std::string::npos &&
                                          notice.find(why) != std::string::npos;
                               }),
                  notices.end())
            << name;
    }
    EXPECT_TRUE(std::filesystem::exists(directory / "notes.txt"));
    EXPECT_EQ(readFile(folder.path() / "elsewhere.json"),
              PendingBlockStore::encode(pendingBlock(4, 4, now)));
    EXPECT_TRUE(pending.takeNotices().empty());

    // Written by another hand after the start: not read by this process.
    const auto later = pendingBlock(7, 7, now - 1s);
    PendingBlockStore::write(later, directory);
    const auto own = pendingBlock(8, 8, now);
    pending.add(own);
    entries = pending.all();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].block, own);

    // The next start reads the folder again, without what was set aside.
    loop::PendingBlocks next(directory);
    EXPECT_EQ(next.all().size(), 3u);
    EXPECT_TRUE(next.takeNotices().empty());
}

TEST(RejectedBlocks, NamesTheRecordAndKeepsTheNewestFiveHundred) {
    TempDir folder;
    recordRejectedBlock("00ff", 100, "bad-cb-amount", "42", folder.path());
    ASSERT_EQ(filesIn(folder.path()), 1u);
    const auto name =
        std::filesystem::directory_iterator(folder.path())->path().filename().string();
    EXPECT_TRUE(name.starts_with("rejected-100-")) << name;
    EXPECT_TRUE(name.ends_with("-42.json")) << name;
    const auto text = readFile(folder.path() / name);
    EXPECT_NE(text.find("\n"), std::string::npos);  // pretty-printed
    EXPECT_NE(text.find("\"reason\": \"bad-cb-amount\""), std::string::npos) << text;

    std::filesystem::create_directories(folder.path() / "pending");
    writeFileAtomically(folder.path() / "notes.json", "{}");
    const auto oldest = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(folder.path() / name, oldest);
    for (int i = 0; i < 500; ++i) {
        writeFileAtomically(folder.path() / ("rejected-1-" + std::to_string(i) + "-0.json"), "{}");
    }
    rotateRejectedBlocks(folder.path(), kRejectedBlocksKept);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / name));  // the oldest record went
    EXPECT_EQ(filesIn(folder.path()), 502u);                      // 500 records, notes, pending
    rotateRejectedBlocks(folder.path(), kRejectedBlocksKept);
    EXPECT_EQ(filesIn(folder.path()), 502u);
}

}  // namespace
}  // namespace corvanta
