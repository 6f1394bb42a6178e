// Whether the settings file takes a change, foreseen without writing: the foresight must agree with
// what the store's own writer then does, for the files a user or a dotfile manager may keep there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QObject>

#include "SystemServices/Preferences.h"
#include "TestSupport.h"
#include "UnprivilegedUser.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;

const std::string kKept = "[General]\nrigwell.appTheme=dark\n";

struct Situation {
    const char* name;
    // Lays out `root`; returns the settings file's path.
    std::function<fs::path(const fs::path& root)> layOut;
    bool saves;
};

fs::path keptFile(const fs::path& folder, const char* name = "Corvanta.conf") {
    fs::create_directories(folder);
    testing::writeText(folder / name, kKept);
    return folder / name;
}

// A dotfile manager's store: the settings file a link to a file of its own.
fs::path linkedInto(const fs::path& root, bool storeWritable) {
    const fs::path target = keptFile(root / "store");
    if (!storeWritable) ::chmod((root / "store").c_str(), 0555);
    fs::create_directories(root / "config");
    fs::create_symlink(target, root / "config" / "Corvanta.conf");
    return root / "config" / "Corvanta.conf";
}

TEST(SettingsSaving, WhatIsForeseenIsWhatTheWriterDoesAndNothingKeptIsChanged) {
    const std::vector<Situation> situations{
        {"a regular file", [](const fs::path& root) { return keptFile(root / "config"); }, true},
        {"no file yet, its folders not made",
         [](const fs::path& root) { return root / "config" / "Corvanta" / "Corvanta.conf"; }, true},
        {"a link into a writable store",
         [](const fs::path& root) { return linkedInto(root, true); }, true},
        {"a link into a read-only store",
         [](const fs::path& root) { return linkedInto(root, false); }, false},
        {"a read-only file",
         [](const fs::path& root) {
             const fs::path file = keptFile(root / "config");
             ::chmod(file.c_str(), 0444);
             return file;
         },
         false},
        {"a file in a read-only folder",
         [](const fs::path& root) {
             const fs::path file = keptFile(root / "config");
             ::chmod((root / "config").c_str(), 0555);
             return file;
         },
         false},
        {"no file, in a read-only folder",
         [](const fs::path& root) {
             fs::create_directories(root / "config");
             ::chmod((root / "config").c_str(), 0555);
             return root / "config" / "Corvanta.conf";
         },
         false},
        {"a file where a folder of its path should be",
         [](const fs::path& root) {
             testing::writeText(root / "config", "not a folder\n");
             return root / "config" / "Corvanta.conf";
         },
         false},
    };
    for (const Situation& situation : situations) {
        SCOPED_TRACE(situation.name);
        const testing::TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        // As a user the modes bind (root writes where it likes).
        const std::string outcome = testing::asUnprivilegedUser([&]() -> std::string {
            const fs::path file = situation.layOut(dir.path());
            const QString path = QString::fromStdString(file.string());
            const bool wasThere = fs::exists(file);
            const bool wasLink = fs::is_symlink(file);
            Preferences preferences(path);
            const auto problem = preferences.saveProblem();
            if (problem.has_value() == situation.saves) {
                return problem ? "foreseen to fail: " + problem->toStdString()
                               : std::string("foreseen to save");
            }
            if (problem && problem->isEmpty()) return "a problem without words";
            const bool saved = preferences.setString("rigwell.appTheme", "light");
            if (saved != situation.saves) return saved ? "saved" : "not saved";
            if (preferences.string("rigwell.appTheme") != QStringLiteral("light")) {
                return "the change does not hold in memory";
            }
            if (fs::is_symlink(file) != wasLink) return "the link was replaced";
            if (!situation.saves && wasThere && testing::readText(file) != kKept) {
                return "what was kept changed";
            }
            if (situation.saves && Preferences(path).string("rigwell.appTheme") != "light") {
                return "the change is not in the file";
            }
            return "";
        });
        EXPECT_EQ(outcome, "");
    }
}

// What takes the writes away, and gives them back, while the store is open.
struct Spell {
    const char* name;
    // Lays out `root`, the file taking writes; returns the settings file's path.
    std::function<fs::path(const fs::path& root)> layOut;
    std::function<void(const fs::path& root)> refuse;
    std::function<void(const fs::path& root)> allow;
    // Refused before the store is opened, rather than while it runs.
    bool fromTheStart;
};

void folderMode(const fs::path& folder, mode_t mode) {
    ::chmod(folder.c_str(), mode);
}

// The saving each handle reports follows the file through a spell of refused writes: foreseen or
// met at the first write, the same for every handle, ended by the first write saved after, with
// every change made meanwhile in the file.
TEST(SettingsSaving, ASpellOfRefusedWritesIsSaidOnceAndEndsWithTheFirstSave) {
    const auto config = [](const fs::path& root) { return root / "config"; };
    const std::vector<Spell> spells{
        {"a read-only folder", [&](const fs::path& root) { return keptFile(config(root)); },
         [&](const fs::path& root) { folderMode(config(root), 0555); },
         [&](const fs::path& root) { folderMode(config(root), 0755); }, true},
        {"a read-only file", [&](const fs::path& root) { return keptFile(config(root)); },
         [&](const fs::path& root) { folderMode(config(root) / "Corvanta.conf", 0444); },
         [&](const fs::path& root) { folderMode(config(root) / "Corvanta.conf", 0644); }, true},
        {"a link into a read-only folder",
         [](const fs::path& root) { return linkedInto(root, true); },
         [](const fs::path& root) { folderMode(root / "store", 0555); },
         [](const fs::path& root) { folderMode(root / "store", 0755); }, true},
        {"a folder made read-only while it runs",
         [&](const fs::path& root) { return keptFile(config(root)); },
         [&](const fs::path& root) { folderMode(config(root), 0555); },
         [&](const fs::path& root) { folderMode(config(root), 0755); }, false},
        {"a link whose folder is made read-only while it runs",
         [](const fs::path& root) { return linkedInto(root, true); },
         [](const fs::path& root) { folderMode(root / "store", 0555); },
         [](const fs::path& root) { folderMode(root / "store", 0755); }, false},
    };
    for (const Spell& spell : spells) {
        SCOPED_TRACE(spell.name);
        const testing::TempDir dir;
        fs::permissions(dir.path(), fs::perms::all);
        const std::string outcome = testing::asUnprivilegedUser([&]() -> std::string {
            const fs::path file = spell.layOut(dir.path());
            const fs::path kept = fs::is_symlink(file) ? fs::canonical(file) : file;
            if (spell.fromTheStart) spell.refuse(dir.path());
            const Preferences views(QString::fromStdString(file.string()));
            Preferences session = views;  // another writer of the same store
            QObject follower;
            int changes = 0;
            views.followSaving(&follower, [&] { ++changes; });

            if (views.saveProblem().has_value() != spell.fromTheStart) return "foreseen wrong";
            if (!spell.fromTheStart) {
                if (!session.setString("rigwell.powerMode", "eco")) return "a write refused early";
                spell.refuse(dir.path());
            }
            const std::string refusedWith = testing::readText(kept);
            if (Preferences(views).setString("rigwell.appTheme", "light")) return "saved refused";
            if (!views.saveProblem() || !session.saveProblem()) return "a refused write unsaid";
            if (session.setString("rigwell.powerMode", "max")) return "second write saved";
            const int saidWhileRefused = changes;
            if (saidWhileRefused != (spell.fromTheStart ? 0 : 1)) {
                return "said " + std::to_string(saidWhileRefused) + " times";
            }
            if (testing::readText(kept) != refusedWith) return "the file changed while refused";

            spell.allow(dir.path());
            if (!session.setBoolean("rigwell.miniMode", true)) return "not saved once allowed";
            if (views.saveProblem()) return "still said after a save";
            if (changes != saidWhileRefused + 1) return "the end said " + std::to_string(changes);
            const std::string text = testing::readText(kept);
            for (const char* line :
                 {"rigwell.appTheme=light", "rigwell.powerMode=max", "rigwell.miniMode=true"}) {
                if (text.find(line) == std::string::npos) return std::string("lost: ") + line;
            }
            if (fs::is_symlink(file) != (kept != file)) return "the link was replaced";
            return "";
        });
        EXPECT_EQ(outcome, "");
    }
}

}  // namespace
}  // namespace corvanta
