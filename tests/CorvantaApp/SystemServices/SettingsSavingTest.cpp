// Whether the settings file takes a change, foreseen without writing: the foresight must agree with
// what the store's own writer then does, for the files a user or a dotfile manager may keep there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace corvanta
