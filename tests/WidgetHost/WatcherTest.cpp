// The snapshot's folder as users, cleaners and the application treat it: removed, renamed aside,
// the folder above it too, in any order, each time made again by the writer's next snapshot.
// Every snapshot written after each change is seen, and so is the writer falling silent.
#include <QSignalSpy>
#include <QTest>

#include "HostFixture.h"
#include "corvanta/host/SnapshotWatcher.h"
#include "corvanta/shared/SharedContainer.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;

enum class Step { removeFolder, renameFolder, removeParent, renameParent };

struct Sequence {
    const char* name;
    std::vector<Step> steps;
};

const std::vector<Sequence> sequences{
    {"removed", {Step::removeFolder}},
    {"renamed aside", {Step::renameFolder}},
    {"removed, then renamed aside", {Step::removeFolder, Step::renameFolder}},
    {"renamed aside, then removed", {Step::renameFolder, Step::removeFolder}},
    {"renamed aside twice", {Step::renameFolder, Step::renameFolder}},
    {"removed and renamed twice over",
     {Step::removeFolder, Step::renameFolder, Step::removeFolder, Step::renameFolder}},
    {"the folder above renamed aside", {Step::renameParent}},
    {"removed, then the folder above renamed aside", {Step::removeFolder, Step::renameParent}},
    {"the folder above removed, then the folder renamed aside",
     {Step::removeParent, Step::renameFolder}},
};

// Applies `step` to `folder` (the snapshot's) or the folder above it; a renamed folder goes to a
// name of its own beside it, where it stays.
void apply(Step step, const fs::path& folder, int& renamed) {
    const bool parent = step == Step::removeParent || step == Step::renameParent;
    const fs::path target = parent ? folder.parent_path() : folder;
    if (step == Step::removeFolder || step == Step::removeParent) {
        fs::remove_all(target);
        return;
    }
    fs::path aside = target;
    aside += ".aside-" + std::to_string(++renamed);
    fs::rename(target, aside);
}

class SnapshotFolder : public testing::QtTest {};

TEST_F(SnapshotFolder, EveryNewSnapshotIsSeenHoweverItsFolderWasRemovedRenamedAndMadeAgain) {
    constexpr int patience = 30000;
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        const testing::TempDir dir;
        const fs::path container = dir.path() / "data" / SharedContainer::appGroup;
        SnapshotWatcher watcher(container / SharedContainer::snapshotFileName,
                                std::chrono::milliseconds(200));
        QSignalSpy replaced(&watcher, &SnapshotWatcher::replaced);
        QSignalSpy quiet(&watcher, &SnapshotWatcher::quiet);
        ASSERT_TRUE(watcher.watching());
        MinerSnapshot snapshot;
        const auto writeAndSee = [&] {
            const auto seen = replaced.size();
            ++snapshot.blocksFound;
            SharedContainer::write(snapshot, container);
            return QTest::qWaitFor([&] { return replaced.size() > seen; }, patience);
        };
        ASSERT_TRUE(writeAndSee());
        int renamed = 0;
        for (const Step step : sequence.steps) {
            apply(step, container, renamed);
            // The writer makes the folder again with its next snapshot.
            ASSERT_TRUE(writeAndSee()) << "the first snapshot in the folder made again is missed";
            // Followed as before, not only once: the folder now at the path is the one watched.
            ASSERT_TRUE(writeAndSee()) << "a later snapshot in the folder made again is missed";
            EXPECT_TRUE(watcher.watching());
        }
        const auto quietSeen = quiet.size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return quiet.size() > quietSeen; }, patience))
            << "a writer that falls silent is noticed";
    }
}

// A writer that stops is told twice, each once: late soon after its interval (a writer that ended
// shows stopped then), quiet past the grace a reader gives it; a new snapshot starts both again.
TEST_F(SnapshotFolder, AWriterThatStopsIsSaidLateThenQuietOnceEach) {
    const testing::TempDir dir;
    const fs::path container = dir.path() / "data" / SharedContainer::appGroup;
    SnapshotWatcher watcher(container / SharedContainer::snapshotFileName,
                            std::chrono::milliseconds(900), nullptr,
                            std::chrono::milliseconds(150));
    QStringList said;
    QObject::connect(&watcher, &SnapshotWatcher::replaced, [&] { said << "replaced"; });
    QObject::connect(&watcher, &SnapshotWatcher::late, [&] { said << "late"; });
    QObject::connect(&watcher, &SnapshotWatcher::quiet, [&] { said << "quiet"; });
    MinerSnapshot snapshot;
    for (int round = 0; round < 2; ++round) {
        said.clear();
        ++snapshot.blocksFound;
        SharedContainer::write(snapshot, container);
        ASSERT_TRUE(QTest::qWaitFor([&] { return said.contains("quiet"); }, 30000));
        QTest::qWait(300);
        EXPECT_EQ(said, QStringList({"replaced", "late", "quiet"}));
    }
}

}  // namespace
}  // namespace corvanta::host
