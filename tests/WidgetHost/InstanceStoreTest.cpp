#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "OddFiles.h"
#include "TestSupport.h"
#include "corvanta/host/InstanceStore.h"

// The widget list as the user keeps it: a file of its own, or a link a dotfile manager keeps to a
// file of the user's, read and written through; a link to anything else is set aside unfollowed.
namespace corvanta::host {
namespace {

namespace fs = std::filesystem;
using widgetkit::WidgetFamily;

const std::vector<WidgetInstance> stored{
    {QStringLiteral("corvanta.widget.mining"), WidgetFamily::systemSmall, QPoint(40, 60)}};
const std::vector<WidgetInstance> moved{
    {QStringLiteral("corvanta.widget.mining"), WidgetFamily::systemSmall, QPoint(300, 200)},
    {QStringLiteral("corvanta.widget.earnings"), WidgetFamily::systemMedium, QPoint(24, 24)}};

bool isLink(const fs::path& path) {
    return fs::is_symlink(fs::symlink_status(path));
}

struct Case {
    const char* name;
    // Puts what the case is about at `file`, with anything it leads to under `dotfiles`; returns
    // the link's text, empty when no link is placed.
    std::function<fs::path(const fs::path& file, const fs::path& dotfiles)> place;
    bool readThrough;
};

fs::path linkTo(const fs::path& file, const fs::path& target) {
    fs::create_symlink(target, file);
    return target;
}

TEST(InstanceStore, ALinkToARegularFileIsReadAndWrittenThroughAnyOtherIsSetAsideUnfollowed) {
    const std::string storedText = encodeInstances(stored);
    const std::vector<Case> cases{
        {"a regular file",
         [&](const fs::path& file, const fs::path&) {
             testing::writeText(file, storedText);
             return fs::path();
         },
         true},
        {"a link to a regular file",
         [&](const fs::path& file, const fs::path& dotfiles) {
             testing::writeText(dotfiles / "widget-host.json", storedText);
             return linkTo(file, dotfiles / "widget-host.json");
         },
         true},
        {"a relative link through a second link",
         [&](const fs::path& file, const fs::path& dotfiles) {
             testing::writeText(dotfiles / "real.json", storedText);
             fs::create_symlink("real.json", dotfiles / "widget-host.json");
             return linkTo(file, fs::relative(dotfiles / "widget-host.json", file.parent_path()));
         },
         true},
        {"a link to a missing file",
         [](const fs::path& file, const fs::path& dotfiles) {
             return linkTo(file, dotfiles / "widget-host.json");
         },
         false},
        {"a dangling link",
         [](const fs::path& file, const fs::path& dotfiles) {
             return linkTo(file, dotfiles / "gone" / "widget-host.json");
         },
         false},
        {"a link to itself",
         [](const fs::path& file, const fs::path&) { return linkTo(file, file); }, false},
        {"a link to a FIFO",
         [](const fs::path& file, const fs::path& dotfiles) {
             ::mkfifo((dotfiles / "widget-host.json").c_str(), 0600);
             return linkTo(file, dotfiles / "widget-host.json");
         },
         false},
        {"a link to a folder",
         [](const fs::path& file, const fs::path& dotfiles) {
             fs::create_directories(dotfiles / "widget-host.json" / "inside");
             return linkTo(file, dotfiles / "widget-host.json");
         },
         false},
        {"a link to a 1 GiB file",
         [&](const fs::path& file, const fs::path& dotfiles) {
             testing::writeText(dotfiles / "widget-host.json", storedText);
             fs::resize_file(dotfiles / "widget-host.json", std::uintmax_t(1) << 30);
             return linkTo(file, dotfiles / "widget-host.json");
         },
         false},
        {"a link to a file that is no list",
         [](const fs::path& file, const fs::path& dotfiles) {
             testing::writeText(dotfiles / "widget-host.json", "{\"instances\": 3}");
             return linkTo(file, dotfiles / "widget-host.json");
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const fs::path file = dir.path() / "config" / "widget-host.json";
        const fs::path dotfiles = dir.path() / "dotfiles";
        fs::create_directories(file.parent_path());
        fs::create_directories(dotfiles);
        const fs::path linkText = c.place(file, dotfiles);
        const auto dotfilesBefore = testing::snapshotOf(dotfiles);

        InstanceStore store(file);
        const auto loaded = store.load();
        ASSERT_EQ(loaded.has_value(), c.readThrough);
        if (loaded) {
            EXPECT_EQ(*loaded, stored);
        }
        ASSERT_TRUE(store.save(moved));

        if (c.readThrough && !linkText.empty()) {
            // The link stays the user's, leading where it led; the change is in its target.
            ASSERT_TRUE(isLink(file));
            EXPECT_EQ(fs::read_symlink(file), linkText);
            EXPECT_EQ(decodeInstances(testing::readText(dotfiles / "widget-host.json")), moved);
            EXPECT_FALSE(fs::exists(fs::symlink_status(file.string() + ".unreadable")));
            continue;
        }
        // Whatever stood there is beside it, as it was; the list is a file of its own now.
        EXPECT_FALSE(isLink(file));
        EXPECT_EQ(decodeInstances(testing::readText(file)), moved);
        if (linkText.empty()) continue;
        const fs::path aside = file.string() + ".unreadable";
        ASSERT_TRUE(isLink(aside));
        EXPECT_EQ(fs::read_symlink(aside), linkText);
        EXPECT_EQ(testing::snapshotOf(dotfiles), dotfilesBefore) << "its target left as it was";
    }
}

TEST(InstanceStore, ALinkWhoseTargetWentAwayWhileTheHostRanIsNeitherWrittenThroughNorReplaced) {
    const testing::TempDir dir;
    const fs::path file = dir.path() / "config" / "widget-host.json";
    const fs::path target = dir.path() / "dotfiles" / "widget-host.json";
    testing::writeText(target, encodeInstances(stored));
    fs::create_directories(file.parent_path());
    fs::create_symlink(target, file);

    InstanceStore store(file);
    ASSERT_TRUE(store.load().has_value());
    fs::remove(target);
    EXPECT_FALSE(store.save(moved));
    EXPECT_TRUE(isLink(file));
    EXPECT_FALSE(fs::exists(fs::symlink_status(target)));

    // Back in place, the next change reaches it.
    testing::writeText(target, encodeInstances(stored));
    EXPECT_TRUE(store.save(moved));
    EXPECT_TRUE(isLink(file));
    EXPECT_EQ(decodeInstances(testing::readText(target)), moved);
}

}  // namespace
}  // namespace corvanta::host
