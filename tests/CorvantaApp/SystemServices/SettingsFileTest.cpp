#include <gtest/gtest.h>

#include <QTimeZone>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "OddFiles.h"
#include "SystemServices/Preferences.h"
#include "SystemServices/SettingsFile.h"
#include "TestSupport.h"
#include "UnprivilegedUser.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using Outcome = SettingsFileCheck::Outcome;

const QDateTime kNow(QDate(2026, 12, 7), QTime(6, 15, 0), QTimeZone::utc());

struct SettingsFolder {
    testing::TempDir dir;
    fs::path file = dir.path() / "Corvanta.conf";
    fs::path aside = dir.path() / "Corvanta.unreadable-20261207T061500Z.conf";
    QString path() const { return QString::fromStdString(file.string()); }
};

TEST(SettingsFile, AQuoteRunningPastItsLineCostsOnlyThatLine) {
    SettingsFolder folder;
    const std::string damaged =
        "[General]\n"
        "rigwell.selectedNetwork=testnet4\n"
        "rigwell.note=\"never closed\n"
        "rigwell.lifetimeHashes=123456789\n"
        "rigwell.schedule=\"[\\\"eco\\\",\\\"max\\\"]\"\n"
        "rigwell.powerMode=max\n";
    testing::writeText(folder.file, damaged);

    const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
    ASSERT_EQ(check.outcome, Outcome::recovered);
    EXPECT_EQ(check.recoveredSettings, 4);
    EXPECT_EQ(check.droppedLines, 1);
    // The original bytes are kept whole before anything is written.
    EXPECT_EQ(readFile(folder.aside), damaged);
    EXPECT_EQ(check.keptAs, QString::fromStdString(folder.aside.filename().string()));
    const auto line = check.logLine(QStringLiteral("Corvanta.conf"));
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->contains(check.keptAs)) << line->toStdString();

    Preferences preferences(folder.path());
    EXPECT_EQ(preferences.string(QStringLiteral("rigwell.selectedNetwork")), "testnet4");
    EXPECT_EQ(preferences.unsignedInteger(QStringLiteral("rigwell.lifetimeHashes")), 123456789u);
    EXPECT_EQ(preferences.json(QStringLiteral("rigwell.schedule")), R"(["eco","max"])");
    EXPECT_EQ(preferences.string(QStringLiteral("rigwell.powerMode")), "max");
    EXPECT_FALSE(preferences.contains(QStringLiteral("rigwell.note")));

    // Put right once: the next check finds nothing to do.
    EXPECT_EQ(checkSettingsFile(folder.path(), kNow.addSecs(1)).outcome, Outcome::intact);
}

TEST(SettingsFile, LinesThatRunOnAreFoundWhereverTheyStand) {
    const struct {
        const char* text;
        int kept;
        int dropped;
    } cases[] = {
        {"[General]\na=1\nb=\"x;y\"\n; a \"comment\nc=\"\\\"\"\n", 3, 0},
        {"[General]\na=1\\\nb=2\n", 1, 1},           // a backslash joins the next line
        {"[General]\nnot a \"key\nb=2\n", 1, 1},     // not a key, still runs on
        {"[Gen\"eral]\nb=2\n[Other]\nc=3\n", 1, 2},  // keys under a broken header
        {"a=1\r\nb=\"2\r\n", 1, 1},
        {"", 0, 0},
        // Lines the reader reports as malformed: no "=" outside quotes, a header without "]".
        {"[General]\na=1\nstray words\n#note\n\"x=y\"\nb=2\n", 2, 3},
        {"[General\na=1\n[Side]\nb=2\n", 1, 2},
        {"[Gen;x]\na=1\n[General]x\nb=2\n", 1, 2},
        // Headers naming a subgroup, which can hide the keys of their parent from the reader.
        {"[O]\nk=4\n[O\\\\0]\nk=5\n[O/]\nk=6\n[O]\nj=7\n", 2, 4},
        // Values the reader would decode as other than text, however written.
        {"a=@Variant(\\0\\0\\0\\x7f)\nb=\\x40Variant(x)\nc=x, \\100Rect(1 2 3 4)\n"
         "d=\"@ByteArray(x)\"\ne=@@text\nf=\" @x\"\ng=@\\x40x\nh=x;@Variant(\n"
         "i=@String(a\\0b)\n",
         5, 4},
    };
    for (const auto& c : cases) {
        int kept = -1;
        int dropped = -1;
        readableSettingsLines(c.text, kept, dropped);
        EXPECT_EQ(kept, c.kept) << c.text;
        EXPECT_EQ(dropped, c.dropped) << c.text;
    }
    // A NUL byte in a key or a header, after which the reader drops keys without a word.
    const std::string withNul("[General]\na\0b=1\nc=2\n[\0O]\nd=3\n[P]\ne=4\n", 37);
    int nulKept = -1;
    int nulDropped = -1;
    EXPECT_EQ(readableSettingsLines(withNul, nulKept, nulDropped), "[General]\nc=2\n[P]\ne=4\n");
    EXPECT_EQ(nulKept, 2);
    EXPECT_EQ(nulDropped, 3);
}

TEST(SettingsFile, ALineTheReaderRejectsIsKeptAsideBeforeAWriteDropsIt) {
    SettingsFolder folder;
    const std::string damaged = "[General]\nrigwell.powerMode=max\nstray words\n";
    testing::writeText(folder.file, damaged);
    const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
    ASSERT_EQ(check.outcome, Outcome::recovered);
    EXPECT_EQ(readFile(folder.aside), damaged);

    // The reader now takes the file in whole, so a write that was saved says so.
    Preferences preferences(folder.path());
    EXPECT_EQ(preferences.string(QStringLiteral("rigwell.powerMode")), "max");
    EXPECT_TRUE(preferences.setString(QStringLiteral("rigwell.selectedNetwork"),
                                      QStringLiteral("regtest")));
}

TEST(SettingsFile, AValueTheReaderWouldDecodeIsKeptAsideUnread) {
    SettingsFolder folder;
    // Binary data of any type and claimed size, which the reader would decode.
    const std::string hostile =
        "[General]\nrigwell.powerMode=max\n"
        "rigwell.note=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\xfQStringList\\0\\xbf\\xbf\\xff)\n";
    testing::writeText(folder.file, hostile);
    ASSERT_EQ(checkSettingsFile(folder.path(), kNow).outcome, Outcome::recovered);
    EXPECT_EQ(readFile(folder.aside), hostile);

    Preferences preferences(folder.path());
    EXPECT_EQ(preferences.string(QStringLiteral("rigwell.powerMode")), "max");
    EXPECT_FALSE(preferences.contains(QStringLiteral("rigwell.note")));
    // A text of the user's that starts like one is stored escaped, and left alone.
    const QString text = QStringLiteral("@Variant(not ours)");
    ASSERT_TRUE(preferences.setString(QStringLiteral("rigwell.note"), text));
    EXPECT_EQ(checkSettingsFile(folder.path(), kNow).outcome, Outcome::intact);
    EXPECT_EQ(Preferences(folder.path()).string(QStringLiteral("rigwell.note")), text);
}

TEST(SettingsFile, AnIntactFileIsLeftAsItIs) {
    SettingsFolder folder;
    EXPECT_EQ(checkSettingsFile(folder.path(), kNow).outcome, Outcome::intact);  // absent
    {
        Preferences preferences(folder.path());
        preferences.setString(QStringLiteral("rigwell.note"),
                              QStringLiteral("a, \"quoted\"; text"));
        preferences.setJson(QStringLiteral("rigwell.schedule"), QStringLiteral(R"(["eco"])"));
    }
    const std::string written = readFile(folder.file);
    const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
    EXPECT_EQ(check.outcome, Outcome::intact);
    EXPECT_FALSE(check.logLine(QStringLiteral("Corvanta.conf")));
    EXPECT_EQ(readFile(folder.file), written);
    EXPECT_FALSE(fs::exists(folder.aside));
}

TEST(SettingsFile, WhatIsNotARegularFileIsSetAsideWithoutBeingOpened) {
    for (const bool fifo : {true, false}) {
        SettingsFolder folder;
        if (fifo) {
            // Opening a FIFO with no writer would block this test for ever.
            ASSERT_EQ(::mkfifo(folder.file.c_str(), 0600), 0);
        } else {
            fs::create_directory(folder.file);
        }
        const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
        ASSERT_EQ(check.outcome, Outcome::setAside);
        EXPECT_FALSE(fs::exists(fs::symlink_status(folder.file)));
        EXPECT_EQ(fs::is_fifo(folder.aside), fifo);
        EXPECT_TRUE(check.logLine(QStringLiteral("Corvanta.conf")));

        // The settings start afresh and are saved again.
        Preferences preferences(folder.path());
        EXPECT_FALSE(preferences.contains(QStringLiteral("rigwell.selectedNetwork")));
        EXPECT_TRUE(preferences.setString(QStringLiteral("rigwell.selectedNetwork"),
                                          QStringLiteral("regtest")));
        EXPECT_TRUE(fs::is_regular_file(folder.file));
    }
}

// What stands in its place and is no settings file is set aside whole (a link still a link, its
// target untouched and never copied), and the settings start afresh in a plain file of their own.
// A link is no settings file when it leads nowhere or to anything but a regular file within the
// bound.
TEST(SettingsFile, WhatIsNoSettingsFileIsSetAsideAndALinkToItIsNeverFollowed) {
    const std::string settings = "[General]\nrigwell.powerMode=max\nnot a setting\n";
    struct Case {
        std::string name;
        // Puts it at `file`, with whatever a link leads to in `outside`.
        std::function<testing::PlacedOdd(const fs::path& file, const fs::path& outside)> place;
        const char* logged;  // what the log line says it was
    };
    std::vector<Case> cases;
    for (const auto kind : testing::everyOddKind) {
        if (kind == testing::OddKind::link) continue;
        cases.push_back(
            {testing::nameOf(kind),
             [kind, settings](const fs::path& file, const fs::path& outside) {
                 return testing::placeOdd(kind, file, outside, settings);
             },
             kind == testing::OddKind::hugeSparseFile ? "larger than" : "not a regular file"});
    }
    for (const auto kind : testing::everyOddKind) {
        if (kind == testing::OddKind::link) continue;
        cases.push_back({"a symbolic link to " + testing::nameOf(kind),
                         [kind, settings](const fs::path& file, const fs::path& outside) {
                             const fs::path target = outside / "target";
                             testing::placeOdd(kind, target, outside / "more", settings);
                             return testing::placeLink(file, target);
                         },
                         kind == testing::OddKind::hugeSparseFile ? "symbolic link to a file larger"
                                                                  : "symbolic link to something"});
    }
    cases.push_back({"a symbolic link to nothing",
                     [](const fs::path& file, const fs::path& outside) {
                         return testing::placeLink(file, outside / "missing");
                     },
                     "symbolic link to nothing"});
    cases.push_back(
        {"a symbolic link to itself",
         [](const fs::path& file, const fs::path&) { return testing::placeLink(file, file); },
         "symbolic link to nothing"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFolder folder;
        const fs::path outside = folder.dir.path() / "elsewhere";
        fs::create_directories(outside);
        const auto placed = c.place(folder.file, outside);
        const auto before = testing::snapshotOf(outside);
        const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
        ASSERT_EQ(check.outcome, Outcome::setAside);
        EXPECT_EQ(check.link, placed.kind == testing::OddKind::link);
        EXPECT_EQ(testing::checkSetAside(placed, folder.file), "");
        EXPECT_EQ(testing::whereSetAside(placed, folder.dir.path(), folder.file), folder.aside);
        const auto line = check.logLine(QStringLiteral("Corvanta.conf"));
        ASSERT_TRUE(line);
        EXPECT_TRUE(line->contains(QString::fromUtf8(c.logged))) << line->toStdString();
        Preferences preferences(folder.path());
        EXPECT_FALSE(preferences.contains(QStringLiteral("rigwell.powerMode")));
        EXPECT_TRUE(preferences.setString(QStringLiteral("rigwell.selectedNetwork"),
                                          QStringLiteral("regtest")));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.file)));
        EXPECT_EQ(testing::checkSetAside(placed, folder.file), "") << "after the write";
        EXPECT_EQ(testing::snapshotOf(outside), before) << "what a link led to was changed";
    }
}

// A link to a regular file, as a dotfile manager keeps it, is the settings file: read through,
// written through into its target, and kept; a damaged target is put right in place, its copy
// kept beside the link.
TEST(SettingsFile, ALinkToARegularFileIsReadAndWrittenThroughAndKept) {
    const std::string settings =
        "[General]\nrigwell.onboardingCompleted=true\nrigwell.payoutAddress.regtest=bcrt1qxyz\n";
    struct Case {
        const char* name;
        std::string text;         // the target's
        bool relative;            // the link's text is relative to its folder
        bool throughAnotherLink;  // the link leads to a link to the file
        Outcome outcome;
    };
    const std::vector<Case> cases{
        {"absolute", settings, false, false, Outcome::intact},
        {"relative", settings, true, false, Outcome::intact},
        {"through a second link", settings, false, true, Outcome::intact},
        {"damaged target", settings + "rigwell.note=\"never closed\n", true, false,
         Outcome::recovered},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFolder folder;
        const fs::path dotfiles = folder.dir.path() / "dotfiles";
        const fs::path target = dotfiles / "corvanta.conf";
        testing::writeText(target, c.text);
        fs::path linkText = c.relative ? fs::path("dotfiles") / "corvanta.conf" : target;
        if (c.throughAnotherLink) {
            fs::create_symlink(target, dotfiles / "current.conf");
            linkText = dotfiles / "current.conf";
        }
        fs::create_symlink(linkText, folder.file);

        const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
        EXPECT_EQ(check.outcome, c.outcome);
        EXPECT_EQ(fs::read_symlink(folder.file), linkText);
        if (c.outcome == Outcome::recovered) {
            EXPECT_EQ(testing::readText(folder.aside), c.text) << "the damaged bytes, kept";
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder.aside)));
            EXPECT_EQ(testing::readText(target), settings) << "put right in the target";
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(folder.aside)));
            EXPECT_FALSE(check.logLine(QStringLiteral("Corvanta.conf")));
        }
        {
            Preferences preferences(folder.path());
            EXPECT_EQ(preferences.boolean(QStringLiteral("rigwell.onboardingCompleted")), true);
            EXPECT_EQ(preferences.string(QStringLiteral("rigwell.payoutAddress.regtest")),
                      "bcrt1qxyz");
            EXPECT_TRUE(
                preferences.setString(QStringLiteral("rigwell.powerMode"), QStringLiteral("eco")));
            EXPECT_TRUE(preferences.remove(QStringLiteral("rigwell.payoutAddress.regtest")));
        }
        // The link kept as it was, the settings written into its target.
        EXPECT_TRUE(fs::is_symlink(folder.file));
        EXPECT_EQ(fs::read_symlink(folder.file), linkText);
        if (c.throughAnotherLink) {
            EXPECT_TRUE(fs::is_symlink(dotfiles / "current.conf"));
        }
        const std::string written = testing::readText(target);
        EXPECT_NE(written.find("rigwell.powerMode=eco"), std::string::npos) << written;
        EXPECT_EQ(written.find("payoutAddress"), std::string::npos) << written;
        EXPECT_EQ(Preferences(folder.path()).string(QStringLiteral("rigwell.powerMode")), "eco");
        EXPECT_EQ(checkSettingsFile(folder.path(), kNow).outcome, Outcome::intact);
    }
}

// A file the user may not read (left by a run under sudo, say) still holds their settings: it is
// neither renamed, nor read as a first run's, nor saved over; the log says which file and why.
// A file past the bound is no settings file of ours: renamed aside unread, never copied (a copy
// of a huge sparse file would take its whole size on disk), and the settings start afresh. At the
// bound it is read as any other.
TEST(SettingsFile, AFilePastTheBoundIsRenamedAsideUnreadNeverCopied) {
    SettingsFolder folder;
    const std::string settings = "[General]\nrigwell.powerMode=max\n";
    testing::writeText(folder.file, settings);
    std::filesystem::resize_file(folder.file, settingsFileBound + 1);
    struct stat before {};
    ASSERT_EQ(::stat(folder.file.c_str(), &before), 0);

    const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
    EXPECT_EQ(check.outcome, Outcome::setAside);
    EXPECT_TRUE(check.tooLarge);
    EXPECT_EQ(check.keptAs, QString::fromStdString(folder.aside.filename().string()));
    EXPECT_FALSE(fs::exists(folder.file));
    struct stat aside {};
    ASSERT_EQ(::stat(folder.aside.c_str(), &aside), 0);
    // The very file, moved: same inode, nothing written.
    EXPECT_EQ(aside.st_ino, before.st_ino);
    EXPECT_EQ(aside.st_blocks, before.st_blocks);
    const auto line = check.logLine(QStringLiteral("Corvanta.conf"));
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->contains(QStringLiteral("larger than"))) << line->toStdString();
    EXPECT_FALSE(Preferences(folder.path()).contains(QStringLiteral("rigwell.powerMode")));

    // Exactly at the bound: read, its damaged tail (the zeros) set right as for any file.
    SettingsFolder atBound;
    testing::writeText(atBound.file, settings);
    std::filesystem::resize_file(atBound.file, settingsFileBound);
    EXPECT_EQ(checkSettingsFile(atBound.path(), kNow).outcome, Outcome::recovered);
    EXPECT_EQ(Preferences(atBound.path()).string(QStringLiteral("rigwell.powerMode")), "max");
}

TEST(SettingsFile, AnUnreadableFileIsLeftAsItIsAndNeverSavedOver) {
    SettingsFolder folder;
    fs::permissions(folder.dir.path(), fs::perms::all);
    const std::string settings = "[General]\nrigwell.selectedNetwork=testnet4\n";
    const auto outcome = testing::asUnprivilegedUser([&]() -> std::string {
        testing::writeText(folder.file, settings);
        ::chmod(folder.file.c_str(), 0);
        const SettingsFileCheck check = checkSettingsFile(folder.path(), kNow);
        if (check.outcome != Outcome::unreadable) return "not found unreadable";
        const auto line = check.logLine(QStringLiteral("Corvanta.conf"));
        if (!line || !line->contains(QStringLiteral("Corvanta.conf")) ||
            !line->contains(QStringLiteral("Permission denied"))) {
            return "the log line names neither the file nor the reason";
        }
        Preferences preferences(folder.path());
        if (preferences.contains(QStringLiteral("rigwell.selectedNetwork"))) return "read";
        if (preferences.setString(QStringLiteral("rigwell.selectedNetwork"),
                                  QStringLiteral("regtest"))) {
            return "saved over";
        }
        ::chmod(folder.file.c_str(), 0600);
        if (readFile(folder.file) != settings) return "changed";
        if (fs::exists(folder.aside)) return "set aside";
        return "";
    });
    EXPECT_EQ(outcome, "");
}

// A write cut short by a crash leaves its temporary file; the next start removes it, and only it.
TEST(SettingsFile, TemporaryFilesOfEarlierWritesGoAtTheNextCheck) {
    SettingsFolder folder;
    const auto ours = folder.dir.path() / ".Corvanta.conf.tmp-1a2b3c";
    const auto copy = folder.dir.path() / ".Corvanta.unreadable-20261207T061500Z.conf.tmp-9f";
    const auto other = folder.dir.path() / ".Other.conf.tmp-1a2b3c";
    for (const auto& file : {ours, copy, other}) {
        testing::writeText(file, "x");
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    checkSettingsFile(folder.path(), kNow);
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_TRUE(fs::exists(other));
}

TEST(SettingsFile, ASecondCopyOnTheSameSecondGetsANameOfItsOwn) {
    SettingsFolder folder;
    testing::writeText(folder.file, "[General]\na=\"1\n");
    ASSERT_EQ(checkSettingsFile(folder.path(), kNow).outcome, Outcome::recovered);
    testing::writeText(folder.file, "[General]\nb=\"2\n");
    const SettingsFileCheck second = checkSettingsFile(folder.path(), kNow);
    ASSERT_EQ(second.outcome, Outcome::recovered);
    EXPECT_EQ(second.keptAs, QStringLiteral("Corvanta.unreadable-20261207T061500Z-2.conf"));
    EXPECT_EQ(readFile(folder.aside), "[General]\na=\"1\n");
}

}  // namespace
}  // namespace corvanta
