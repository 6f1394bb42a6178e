#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <memory>

#include "HostTestSupport.h"
#include "OddFiles.h"
#include "TestSupport.h"
#include "UnprivilegedUser.h"
#include "corvanta/host/InstanceStore.h"
#include "corvanta/host/LoginEntry.h"

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

// The host's two files the user may keep as links, each with a write that changes it.
struct Writer {
    const char* name;
    const char* fileName;
    // The host's writer of `file`, as it holds it while it runs: each call writes new contents,
    // false when refused.
    std::function<std::function<bool()>(const fs::path& file)> open;
    // Contents to start from, other than what `write` writes.
    std::string before;
};

const std::vector<Writer>& writers() {
    static const std::vector<Writer> all{
        {"the widget list", "widget-host.json",
         [](const fs::path& file) {
             return [store = std::make_shared<InstanceStore>(file)] { return store->save(moved); };
         },
         encodeInstances(stored)},
        {"the login entry", "corvanta-widget-host.desktop",
         [](const fs::path& file) {
             return [entry = std::make_shared<LoginEntry>(file, "/usr/bin/corvanta-widget-host")] {
                 return entry->follow(true);
             };
         },
         *LoginEntry::text("/opt/old/corvanta-widget-host")},
    };
    return all;
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// A private file stays private: the new contents take the place of the old file (the link's
// target, the link kept) with its mode, never the writer's default.
TEST(HostFiles, AFileWrittenInPlaceOrThroughALinkKeepsItsMode) {
    for (const Writer& writer : writers()) {
        for (const bool linked : {true, false}) {
            for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
                SCOPED_TRACE(std::string(writer.name) + (linked ? " through a link, " : ", ") +
                             std::to_string(mode));
                const testing::TempDir dir;
                const fs::path file = dir.path() / "config" / writer.fileName;
                const fs::path target = linked ? dir.path() / "dotfiles" / writer.fileName : file;
                testing::writeText(target, writer.before);
                fs::create_directories(file.parent_path());
                if (linked) fs::create_symlink(target, file);
                ASSERT_EQ(::chmod(target.c_str(), mode), 0);

                ASSERT_TRUE(writer.open(file)());
                EXPECT_NE(testing::readText(target), writer.before) << "nothing was written";
                EXPECT_EQ(isLink(file), linked);
                EXPECT_EQ(modeOf(target), mode);
            }
        }
    }
}

// A target in a folder that takes no new file (a dotfile manager's read-only store) refuses each
// write, as no file can be put in its place: said in the host's log when the refusals begin, not
// at every move; said again once writes go through.
TEST(HostFiles, ATargetWhoseFolderRefusesWritesIsSaidOnce) {
    for (const Writer& writer : writers()) {
        SCOPED_TRACE(writer.name);
        const testing::TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        const fs::path file = dir.path() / "config" / writer.fileName;
        const fs::path store = dir.path() / "dotfiles";
        testing::writeText(store / writer.fileName, writer.before);
        fs::create_directories(file.parent_path());
        fs::permissions(file.parent_path(), fs::perms::all);
        fs::create_symlink(store / writer.fileName, file);
        fs::permissions(store / writer.fileName, fs::perms::all);
        fs::permissions(store, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
        // As a user the folder's mode binds (root writes where it likes); its log is counted there.
        const std::string outcome = testing::asUnprivilegedUser([&]() -> std::string {
            testing::loggedLines().clear();
            const auto write = writer.open(file);
            for (int i = 0; i < 4; ++i) {
                if (write()) return "a write went through";
            }
            const auto said = testing::linesOf("corvanta.widget-host");
            if (said.size() != 1) return "said " + std::to_string(said.size()) + " times";
            if (!said.constFirst().contains(QString::fromStdString(file.string()))) {
                return "the file is not named: " + said.constFirst().toStdString();
            }
            return "";
        });
        EXPECT_EQ(outcome, "");
        EXPECT_EQ(testing::readText(store / writer.fileName), writer.before);
        EXPECT_TRUE(isLink(file));
    }
}

}  // namespace
}  // namespace corvanta::host
