#include <gtest/gtest.h>

#include <QFile>
#include <QTimeZone>

#include <limits>

#include "TestSupport.h"
#include "SystemServices/Preferences.h"

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

TEST(Preferences, TheDefaultStoreLivesInTheConfigFolder) {
    const Preferences preferences;
    EXPECT_EQ(preferences.fileName(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/Corvanta/Corvanta.conf");
}

}  // namespace
}  // namespace corvanta
