#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "MenuBar/MenuBarPreferences.h"
#include "Shell/BrandImages.h"
#include "Shell/Theme.h"
#include "SystemServices/AppInfo.h"
#include "SystemServices/AppLinks.h"
#include "SystemServices/LaunchAtLogin.h"
#include "TestSupport.h"
#include "Updates/UpdateController.h"

namespace corvanta {
namespace {

using testing::TempDir;

QString pathIn(const TempDir& dir, const char* name) {
    return QString::fromStdString((dir.path() / name).string());
}

TEST(LaunchAtLogin, WritesAndRemovesTheAutostartEntry) {
    const TempDir dir;
    // The entry starts this program, which must exist for the entry to count.
    const QString folder = pathIn(dir, "Cor vanta");
    const QString program = folder + "/$corvanta\"s `x` \\ 100%";
    QDir().mkpath(folder);
    testing::writeText(program.toStdString(), "#!/bin/sh\n");
    QFile(program).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    const LaunchAtLogin login(pathIn(dir, "autostart"), program);
    EXPECT_FALSE(login.isEnabled());
    // Nothing to undo: true, and no folder made.
    EXPECT_TRUE(login.setEnabled(false));
    EXPECT_FALSE(QDir(pathIn(dir, "autostart")).exists());

    ASSERT_TRUE(login.setEnabled(true));
    EXPECT_TRUE(login.isEnabled());
    const std::string entry = testing::readText(login.filePath().toStdString());
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\nName=Corvanta\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"" + folder.toStdString() +
                         R"(/\\$corvanta\\"s \\`x\\` \\\\ 100%%")"
                         " --background\n"),
              std::string::npos)
        << entry;
    EXPECT_TRUE(login.setEnabled(true));

    ASSERT_TRUE(login.setEnabled(false));
    EXPECT_FALSE(QFile::exists(login.filePath()));
    EXPECT_FALSE(LaunchAtLogin::execArgument("/a\nb"));
}

TEST(LaunchAtLogin, AnEntrySwitchedOffByTheDesktopCountsAsDisabled) {
    const TempDir dir;
    // Any program that exists stands for this one.
    const LaunchAtLogin login(pathIn(dir, "autostart"), "/bin/sh");
    QDir().mkpath(pathIn(dir, "autostart"));
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        testing::writeText(login.filePath().toStdString(),
                           std::string("[Desktop Entry]\nType=Application\nExec=x\n") + off + "\n");
        EXPECT_FALSE(login.isEnabled()) << off;
        EXPECT_TRUE(login.setEnabled(false)) << off;  // already off: left alone
        EXPECT_TRUE(QFile::exists(login.filePath()));
        EXPECT_TRUE(login.setEnabled(true)) << off;
        EXPECT_TRUE(login.isEnabled()) << off;
    }
    testing::writeText(login.filePath().toStdString(),
                       "[Desktop Entry]\nExec=x\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(login.isEnabled());
}

TEST(LaunchAtLogin, AnEntryForAProgramThatIsGoneIsReplacedNeverLeftDangling) {
    const TempDir dir;
    // This program, under a name that needs every kind of quoting.
    const QString program = pathIn(dir, "Cor vanta $\"x\" 100%");
    testing::writeText(program.toStdString(), "#!/bin/sh\n");
    QFile(program).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    EXPECT_EQ(LaunchAtLogin::programOfExec(*LaunchAtLogin::execArgument(program)), program);
    const LaunchAtLogin login(pathIn(dir, "autostart"), program);
    const LaunchAtLogin gone(pathIn(dir, "autostart"), pathIn(dir, "build/tools/corvanta"));

    // Written by a copy of the program that has since been removed (a build folder, an older
    // install): not enabled, and replaced at start-up by this program's entry.
    ASSERT_TRUE(gone.setEnabled(true));
    EXPECT_FALSE(login.isEnabled());
    EXPECT_FALSE(gone.isEnabled());
    EXPECT_TRUE(login.rewriteOutdated());
    EXPECT_TRUE(login.isEnabled());
    EXPECT_FALSE(login.rewriteOutdated());  // nothing left to replace

    // Enabling over a dangling entry replaces it; disabling removes it.
    ASSERT_TRUE(gone.setEnabled(false));
    ASSERT_TRUE(gone.setEnabled(true));
    ASSERT_TRUE(login.setEnabled(true));
    EXPECT_NE(testing::readText(login.filePath().toStdString()).find("Cor vanta"),
              std::string::npos);
    QFile::remove(program);
    EXPECT_FALSE(login.isEnabled());
    EXPECT_TRUE(login.setEnabled(false));
    EXPECT_FALSE(QFile::exists(login.filePath()));

    // Switched off by the user: never rewritten, whatever it points at.
    testing::writeText(login.filePath().toStdString(),
                       "[Desktop Entry]\nExec=/nowhere/corvanta\nHidden=true\n");
    EXPECT_FALSE(login.rewriteOutdated());
    EXPECT_NE(testing::readText(login.filePath().toStdString()).find("Hidden=true"),
              std::string::npos);
}

TEST(LaunchAtLogin, AnOlderEntryIsRewrittenToStartInTheBackgroundForItsOwnProgram) {
    const TempDir dir;
    const LaunchAtLogin login(pathIn(dir, "autostart"), "/usr/bin/false");
    QDir().mkpath(pathIn(dir, "autostart"));
    // Written before the entry started the program in the background, for another copy that
    // still exists: that copy stays the one started, now with the flag and TryExec.
    testing::writeText(login.filePath().toStdString(),
                       "[Desktop Entry]\nType=Application\nExec=\"/bin/sh\"\n");
    EXPECT_TRUE(login.isEnabled());
    EXPECT_TRUE(login.rewriteOutdated());
    const std::string entry = testing::readText(login.filePath().toStdString());
    EXPECT_NE(entry.find("\nTryExec=/bin/sh\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nExec=\"/bin/sh\" --background\n"), std::string::npos) << entry;
    EXPECT_FALSE(login.rewriteOutdated());  // up to date now
    EXPECT_TRUE(login.isEnabled());
}

TEST(LaunchAtLogin, AnythingButARegularFileInTheEntrysPlaceIsNoEntryAndNeverWaitedOn) {
    const TempDir dir;
    const LaunchAtLogin login(pathIn(dir, "autostart"), "/bin/sh");
    QDir().mkpath(pathIn(dir, "autostart"));
    // A FIFO with no writer: a plain open would wait for one forever.
    ASSERT_EQ(::mkfifo(login.filePath().toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(login.isEnabled());
    EXPECT_FALSE(login.rewriteOutdated());
    // Enabling puts a real entry in its place.
    EXPECT_TRUE(login.setEnabled(true));
    EXPECT_TRUE(login.isEnabled());
    ASSERT_TRUE(QFile::remove(login.filePath()));
    // A folder in its place reads as no entry too.
    ASSERT_TRUE(QDir().mkpath(login.filePath()));
    EXPECT_FALSE(login.isEnabled());
    EXPECT_FALSE(login.rewriteOutdated());
}

TEST(LaunchAtLogin, AFolderThatCannotBeWrittenIsARefusal) {
    const TempDir dir;
    // The autostart folder is a file: nothing can be made inside it, even by root.
    testing::writeText(dir.path() / "autostart", "");
    const LaunchAtLogin login(pathIn(dir, "autostart"), "/usr/bin/corvanta");
    EXPECT_FALSE(login.setEnabled(true));
    EXPECT_FALSE(login.isEnabled());
    // The entry's name is taken by a folder: the entry cannot be written.
    const TempDir other;
    const LaunchAtLogin taken(pathIn(other, "autostart"), "/usr/bin/corvanta");
    testing::writeText((other.path() / "autostart" / "corvanta.desktop" / "x").string(), "");
    EXPECT_FALSE(taken.setEnabled(true));
    EXPECT_FALSE(taken.isEnabled());
}

TEST(UpdateController, AnOwnCertificateIsTrustedOnlyForAFeedOnThisMachine) {
    qputenv("CORVANTA_UPDATE_CA_FILE", "/tmp/local-ca.pem");
    EXPECT_EQ(UpdateController::loopbackAuthorityFile("https://127.0.0.1:28443/appcast.xml"),
              "/tmp/local-ca.pem");
    EXPECT_EQ(UpdateController::loopbackAuthorityFile("https://[::1]/appcast.xml"),
              "/tmp/local-ca.pem");
    EXPECT_EQ(UpdateController::loopbackAuthorityFile("https://localhost/appcast.xml"),
              "/tmp/local-ca.pem");
    for (const char* elsewhere :
         {"https://corvanta.example/appcast.xml", "https://127.0.0.1.corvanta.example/appcast.xml",
          "https://10.0.0.1/appcast.xml"}) {
        EXPECT_EQ(UpdateController::loopbackAuthorityFile(elsewhere), "") << elsewhere;
    }
    qunsetenv("CORVANTA_UPDATE_CA_FILE");
    EXPECT_EQ(UpdateController::loopbackAuthorityFile("https://127.0.0.1/appcast.xml"), "");
}

TEST(UpdateController, TheRuleAtItsEdges) {
    const QString key = "Zm9vYmFyYmF6";
    const QString feed = "https://corvanta.example/appcast.xml";
    struct Case {
        std::optional<QString> key;
        std::optional<QString> feed;
        bool configured;
    };
    const Case cases[] = {
        {key, feed, true},
        {"REMPLACER-PAR-LA-CLE-PUBLIQUE-EDDSA", feed, false},
        {"", feed, false},
        {std::nullopt, feed, false},
        {key, std::nullopt, false},
        {key, "http://corvanta.example/appcast.xml", false},
        {key, "HTTPS://corvanta.example/appcast.xml", false},
        {key, "https://exa mple/", false},
        {key, "", false},
        {key, "appcast.xml", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpdateController::isConfigured(c.key, c.feed), c.configured)
            << c.key.value_or("-").toStdString() << " " << c.feed.value_or("-").toStdString();
    }
    // This build carries no update configuration.
    EXPECT_FALSE(UpdateController().isConfigured());
    EXPECT_EQ(infoValue("SUFeedURL"), std::nullopt);
    EXPECT_TRUE(UpdateController(key, feed).isConfigured());
}

TEST(MenuBarPreferences, ShowsUnlessAStoredBooleanSaysNo) {
    const TempDir dir;
    Preferences preferences(pathIn(dir, "p.conf"));
    EXPECT_TRUE(MenuBarPreferences::showInMenuBar(preferences));
    preferences.setBoolean("rigwell.showInMenuBar", false);
    EXPECT_FALSE(MenuBarPreferences::showInMenuBar(preferences));
    testing::writeText(preferences.fileName().toStdString(),
                       "[General]\nrigwell.showInMenuBar=no\n");
    EXPECT_TRUE(MenuBarPreferences::showInMenuBar(Preferences(pathIn(dir, "p.conf"))));
}

TEST(AppLinks, UseTheReservedHostsAndFixedPaths) {
    EXPECT_EQ(AppLinks::site(), QUrl("https://corvanta.example"));
    EXPECT_EQ(AppLinks::support(), QUrl("https://corvanta.example/support.html"));
    EXPECT_EQ(AppLinks::review(), QUrl("https://reviews.example/evaluate/corvanta.example"));
    EXPECT_EQ(infoValue("CFBundleShortVersionString"), "0.1.4");
}

TEST(Theme, DarkOnlyWhenTheStoredThemeIsDark) {
    Preferences preferences;
    for (const char* stored : {"dark", "Dark", "light", ""}) {
        preferences.setString("rigwell.appTheme", stored);
        const Theme theme{Preferences()};
        EXPECT_EQ(theme.dark(), std::string(stored) == "dark") << stored;
        EXPECT_EQ(theme.accent(), QColor(theme.dark() ? "#9B84F0" : "#8064E8")) << stored;
    }
    preferences.remove("rigwell.appTheme");
    EXPECT_FALSE(Theme(Preferences()).dark());
    // The card's fill is translucent in both.
    EXPECT_LT(Theme(true, nullptr).surfaceViolet().alphaF(), 0.3);
    EXPECT_LT(Theme(false, nullptr).surfaceViolet().alphaF(), 0.3);
}

TEST(BrandAsset, RawValuesAndMissingImages) {
    EXPECT_EQ(brandAsset("badge-mainnet"), BrandAsset::mainnetBadge);
    EXPECT_EQ(brandAsset("mainnetBadge"), std::nullopt);
    EXPECT_EQ(brandAsset("Mainnet"), std::nullopt);
    for (const BrandAsset asset : kAllBrandAssets) EXPECT_EQ(brandAsset(rawValue(asset)), asset);
    EXPECT_EQ(rawValue(BrandAsset::sparkle), "sparkle");
    // Our artwork ships for every asset and the onboarding's heroes.
    for (const BrandAsset asset : kAllBrandAssets) {
        const auto loaded = image(asset);
        ASSERT_TRUE(loaded) << rawValue(asset).toStdString();
        EXPECT_GE(loaded->width(), 64) << rawValue(asset).toStdString();
    }
    for (const char* hero : {"coin", "wallet", "gauge", "brain", "energy"}) {
        EXPECT_TRUE(brandImage(hero)) << hero;
    }
    EXPECT_NE(BrandImages().source("wordmark"), QUrl());
    // Missing, unnamed or undecodable: nothing, and QML gets an empty source.
    EXPECT_EQ(brandImage("undecodable"), std::nullopt);
    EXPECT_EQ(BrandImages().source("undecodable"), QUrl());
    EXPECT_EQ(brandImage(""), std::nullopt);
    EXPECT_EQ(brandImage("no-such-image"), std::nullopt);
    EXPECT_EQ(BrandImages().source("no-such-image"), QUrl());
}

}  // namespace
}  // namespace corvanta
