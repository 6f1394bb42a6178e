#include <gtest/gtest.h>

#include <QFile>
#include <QTimeZone>

#include <filesystem>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SystemServices/Preferences.h"
#include "SystemServices/SettingsFile.h"
#include "TestSupport.h"

namespace corvanta {
namespace {

using testing::TempDir;

QString iniIn(const TempDir& dir) {
    return QString::fromStdString((dir.path() / "p.conf").string());
}

// Writes the file by hand, as an edit or another version might have left it.
void writeIni(const QString& path, const std::string& body) {
    testing::writeText(path.toStdString(), "[General]\n" + body);
}

TEST(Preferences, ValuesReadBackInTheirOwnTypeAfterReopening) {
    const TempDir dir;
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    {
        Preferences preferences(iniIn(dir));
        EXPECT_TRUE(preferences.setBoolean("rigwell.a", true));
        EXPECT_TRUE(preferences.setInteger("rigwell.b", -42));
        EXPECT_TRUE(
            preferences.setUnsignedInteger("rigwell.c", std::numeric_limits<std::uint64_t>::max()));
        EXPECT_TRUE(preferences.setDate("rigwell.d", moment.addMSecs(750)));
        EXPECT_TRUE(preferences.setJson("rigwell.e", "[ \"eco\", \"max\" ]"));
        EXPECT_TRUE(preferences.setString("rigwell.f", "a, b = c ; \"d\" @e"));
    }
    // Synced at each write: another store on the same file sees everything at once.
    const Preferences reopened(iniIn(dir));
    EXPECT_EQ(reopened.boolean("rigwell.a"), true);
    EXPECT_EQ(reopened.integer("rigwell.b"), -42);
    EXPECT_EQ(reopened.unsignedInteger("rigwell.c"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(reopened.date("rigwell.d"), moment);  // whole seconds
    EXPECT_EQ(reopened.json("rigwell.e"), QString("[\"eco\",\"max\"]"));
    EXPECT_EQ(reopened.string("rigwell.f"), QString("a, b = c ; \"d\" @e"));
    EXPECT_EQ(reopened.string("rigwell.missing"), std::nullopt);
}

TEST(Preferences, TextNotInItsCanonicalFormReadsAsAbsent) {
    const TempDir dir;
    writeIni(iniIn(dir),
             "rigwell.b1=True\nrigwell.b2=1\nrigwell.b3=false\n"
             "rigwell.i1=+5\nrigwell.i2=5.0\nrigwell.i3=007\nrigwell.i4=99999999999999999999\n"
             "rigwell.i5=-3\nrigwell.u1=-3\nrigwell.u2=18446744073709551616\n"
             "rigwell.d1=2026-01-02 03:04:05\nrigwell.d2=2026-01-02T03:04:05+01:00\n"
             "rigwell.d3=2026-01-02T03:04:05Z\n"
             "rigwell.j1=\"[1,2\"\nrigwell.j2=\"[1,2]\"\nrigwell.list=a,b\n");
    const Preferences preferences(iniIn(dir));
    EXPECT_EQ(preferences.boolean("rigwell.b1"), std::nullopt);
    EXPECT_EQ(preferences.boolean("rigwell.b2"), std::nullopt);
    EXPECT_EQ(preferences.boolean("rigwell.b3"), false);
    for (const char* key : {"rigwell.i1", "rigwell.i2", "rigwell.i3", "rigwell.i4"}) {
        EXPECT_EQ(preferences.integer(key), std::nullopt) << key;
    }
    EXPECT_EQ(preferences.integer("rigwell.i5"), -3);
    EXPECT_EQ(preferences.unsignedInteger("rigwell.u1"), std::nullopt);
    EXPECT_EQ(preferences.unsignedInteger("rigwell.u2"), std::nullopt);
    EXPECT_EQ(preferences.date("rigwell.d1"), std::nullopt);
    EXPECT_EQ(preferences.date("rigwell.d2"), std::nullopt);
    EXPECT_EQ(preferences.date("rigwell.d3"),
              QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
    EXPECT_EQ(preferences.json("rigwell.j1"), std::nullopt);
    EXPECT_EQ(preferences.json("rigwell.j2"), QString("[1,2]"));
    EXPECT_EQ(preferences.string("rigwell.list"), std::nullopt);  // INI reads it as a list
    EXPECT_EQ(preferences.boolean("rigwell.i5"), std::nullopt);
}

TEST(Preferences, MalformedValuesAreNotStoredAndRemovalIsSaved) {
    const TempDir dir;
    Preferences preferences(iniIn(dir));
    ASSERT_TRUE(preferences.setJson("rigwell.s", "[1]"));
    EXPECT_FALSE(preferences.setJson("rigwell.s", "[1,"));
    EXPECT_FALSE(preferences.setDate("rigwell.s", QDateTime()));
    EXPECT_EQ(preferences.json("rigwell.s"), QString("[1]"));
    EXPECT_TRUE(preferences.remove("rigwell.s"));
    EXPECT_FALSE(Preferences(iniIn(dir)).contains("rigwell.s"));
}

TEST(Preferences, AWriteThatCannotBeSavedIsReported) {
    const TempDir dir;
    // The store's folder is a file: nothing can be written below it.
    testing::writeText(dir.path() / "blocked", "");
    Preferences preferences(QString::fromStdString((dir.path() / "blocked" / "p.conf").string()));
    EXPECT_FALSE(preferences.setBoolean("rigwell.a", true));
}

// Every regular file under `root`, relative to it.
std::set<std::string> filesUnder(const std::filesystem::path& root) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.insert(entry.path().lexically_relative(root).string());
    }
    return files;
}

// The working folder for as long as it lives.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

// The user's settings file lies in the user's own folders by the rules the data folder and the
// widget host follow: HOME's bytes as they stand, a relative XDG_CONFIG_HOME passed over. Nothing
// is written anywhere else, the working folder included, and what is saved is read back by the
// next start.
TEST(Preferences, TheDefaultStoreLivesInTheUsersOwnConfigFolder) {
    struct Case {
        const char* name;
        std::string home;                   // below the test's folder
        std::optional<std::string> config;  // as set; "@" stands for the test's folder
        std::string expected;               // below the test's folder
    };
    const std::string latin1 = "caf\xE9";
    const std::vector<Case> cases{
        {"XDG_CONFIG_HOME unset", "home", std::nullopt, "home/.config/Corvanta/Corvanta.conf"},
        {"an absolute XDG_CONFIG_HOME", "home", "@/config", "config/Corvanta/Corvanta.conf"},
        {"a relative XDG_CONFIG_HOME", "home", "config", "home/.config/Corvanta/Corvanta.conf"},
        {"a home that is not UTF-8", latin1 + "/home", std::nullopt,
         latin1 + "/home/.config/Corvanta/Corvanta.conf"},
        {"a home that is not UTF-8 and a relative XDG_CONFIG_HOME", latin1 + "/home", "config",
         latin1 + "/home/.config/Corvanta/Corvanta.conf"},
        {"an absolute XDG_CONFIG_HOME that is not UTF-8", "home", "@/" + latin1 + "/config",
         latin1 + "/config/Corvanta/Corvanta.conf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const auto root = dir.path();
        std::filesystem::create_directories(root / c.home);
        const testing::ScopedEnv home("HOME", (root / c.home).string());
        std::optional<std::string> config = c.config;
        if (config && config->starts_with('@')) config = root.string() + config->substr(1);
        const testing::ScopedEnv configHome("XDG_CONFIG_HOME", config);
        const WorkingFolder working(root);
        {
            Preferences preferences;
            EXPECT_TRUE(preferences.setBoolean("rigwell.onboardingCompleted", true));
            EXPECT_FALSE(preferences.saveProblem().has_value());
            EXPECT_FALSE(preferences.keepsNothing());
            EXPECT_EQ(preferences.shownFileName(),
                      QFile::decodeName(QByteArray::fromStdString((root / c.expected).string())));
        }
        EXPECT_EQ(filesUnder(root), std::set<std::string>{c.expected});
        EXPECT_EQ(Preferences().boolean("rigwell.onboardingCompleted"), true);
    }
}

// Without a place for the file (no home) nothing is read or saved, the check says why, and the
// views name the file all the same.
TEST(Preferences, AStoreWithoutAPlaceKeepsNothingAndItsCheckSaysWhy) {
    Preferences preferences{QtFileName()};
    EXPECT_TRUE(preferences.keepsNothing());
    EXPECT_FALSE(preferences.setBoolean("rigwell.a", true));
    EXPECT_EQ(preferences.boolean("rigwell.a"), true) << "the change holds for this run";
    EXPECT_EQ(preferences.shownFileName(), "Corvanta.conf");
    const auto check = checkSettingsFile(QtFileName());
    EXPECT_EQ(check.outcome, SettingsFileCheck::Outcome::noPlace);
    const auto line = check.logLine("Corvanta.conf");
    ASSERT_TRUE(line.has_value());
    EXPECT_TRUE(line->contains("no home folder")) << line->toStdString();
}

}  // namespace
}  // namespace corvanta
