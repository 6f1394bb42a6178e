#include <gtest/gtest.h>

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
    const QString program = "/opt/Cor vanta/bin/$corvanta\"s `x` \\ 100%";
    const LaunchAtLogin login(pathIn(dir, "autostart"), program);
    EXPECT_FALSE(login.isEnabled());
    // Nothing to undo: true, and no folder made.
    EXPECT_TRUE(login.setEnabled(false));
    EXPECT_FALSE(QDir(pathIn(dir, "autostart")).exists());

    ASSERT_TRUE(login.setEnabled(true));
    EXPECT_TRUE(login.isEnabled());
    const std::string entry = testing::readText(login.filePath().toStdString());
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\nName=Corvanta\n"), std::string::npos);
    EXPECT_NE(entry.find(R"(Exec="/opt/Cor vanta/bin/\\$corvanta\\"s \\`x\\` \\\\ 100%%")"
                         "\n"),
              std::string::npos)
        << entry;
    EXPECT_TRUE(login.setEnabled(true));

    ASSERT_TRUE(login.setEnabled(false));
    EXPECT_FALSE(QFile::exists(login.filePath()));
    EXPECT_FALSE(LaunchAtLogin::execArgument("/a\nb"));
}

TEST(LaunchAtLogin, AnEntrySwitchedOffByTheDesktopCountsAsDisabled) {
    const TempDir dir;
    const LaunchAtLogin login(pathIn(dir, "autostart"), "/usr/bin/corvanta");
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
    EXPECT_EQ(infoValue("CFBundleShortVersionString"), "0.1.0");
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
