// A history or ledger file that cannot be decoded holds the user's only copy of their records: it
// is moved aside, else copied aside, and when neither works the store never writes over it.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "StoreFaults.h"
#include "TestSupport.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/loop/ProofOfMining.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

using testing::occupyAsideNames;
using testing::TempDir;

const std::string kDamaged = "[{\"damaged\":true}]";

// Marks a file immutable for a while: it can be read and copied, but not moved. Needs a file
// system with the flag and the right to set it; ok() tells.
class ImmutableFile {
  public:
    explicit ImmutableFile(const std::filesystem::path& file)
        : fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0 || ::ioctl(fd_, FS_IOC_GETFLAGS, &flags_) != 0) return;
        int immutable = flags_ | FS_IMMUTABLE_FL;
        ok_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &immutable) == 0;
    }
    ~ImmutableFile() {
        release();
        if (fd_ >= 0) ::close(fd_);
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool ok() const { return ok_; }
    void release() {
        if (ok_) ::ioctl(fd_, FS_IOC_SETFLAGS, &flags_);
        ok_ = false;
    }

  private:
    int fd_;
    int flags_ = 0;
    bool ok_ = false;
};

struct OpenedStore {
    std::optional<std::filesystem::path> quarantined;
    std::function<void()> write;  // one new record; throws FileWriteError when the store refuses
};

OpenedStore openHistory(const std::filesystem::path& file) {
    auto store = std::make_shared<MiningHistoryStore>(file);
    return {store->quarantinedFileURL(), [store] {
                store->recordSubmission(1, std::vector<std::uint8_t>(32, 1),
                                        std::vector<std::uint8_t>(32, 2), 1,
                                        {SubmissionResult::Accepted{}}, WallClock::now());
            }};
}

OpenedStore openLedger(const std::filesystem::path& file) {
    auto ledger = std::make_shared<ProofOfMining>(file);
    return {ledger->quarantinedFileURL(), [ledger] {
                ledger->append(1, std::string(64, 'a'), 1, std::nullopt, WallClock::now());
            }};
}

TEST(DamagedStoreFile, IsCopiedAsideWhenItCannotBeMovedAndNeverOverwrittenWhenNeitherWorks) {
    using Open = OpenedStore (*)(const std::filesystem::path&);
    for (const auto& [name, open] :
         {std::pair<const char*, Open>{"history", openHistory}, {"ledger", openLedger}}) {
        SCOPED_TRACE(name);
        {
            TempDir folder;
            const auto file = folder.path() / "mainnet.json";
            writeFileAtomically(file, kDamaged);
            occupyAsideNames(file);
            auto store = open(file);
            EXPECT_EQ(store.quarantined, file);
            EXPECT_THROW(store.write(), FileWriteError);
            EXPECT_THROW(store.write(), FileWriteError);
            EXPECT_EQ(readFile(file), kDamaged);
        }
        TempDir folder;
        const auto file = folder.path() / "mainnet.json";
        writeFileAtomically(file, kDamaged);
        ImmutableFile pinned(file);
        if (!pinned.ok()) GTEST_SKIP() << "the immutable flag cannot be set here";
        auto store = open(file);
        pinned.release();
        ASSERT_TRUE(store.quarantined);
        EXPECT_NE(*store.quarantined, file);
        EXPECT_TRUE(store.quarantined->filename().string().starts_with("mainnet.unreadable-"));
        EXPECT_EQ(readFile(*store.quarantined), kDamaged);
        EXPECT_NO_THROW(store.write());
        EXPECT_NE(readFile(file), kDamaged);
        EXPECT_EQ(readFile(*store.quarantined), kDamaged);
    }
}

}  // namespace
}  // namespace corvanta
