#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>

#include <memory>

#include "AppTestEnvironment.h"
#include "FakeServices.h"
#include "LanguageScope.h"
#include "Localization/Formatting.h"
#include "Notifications/MinerNotifications.h"
#include "OddFiles.h"
#include "PrivateBus.h"
#include "Shell/DesktopMotionSetting.h"
#include "Shell/Platform.h"
#include "SystemServices/SleepPreventionAssertion.h"
#include "Updates/UpdateNotifier.h"

namespace corvanta {
namespace {

using testing::FakeLogind;
using testing::FakeNotifications;
using testing::FakePortalSettings;
using testing::LanguageScope;
using testing::PrivateBus;
using testing::waitUntil;

class DesktopBus : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bus_.isRunning()) << "dbus-daemon did not start"; }
    PrivateBus bus_;
};

TEST_F(DesktopBus, AQuietCheckNotifiesOnlyANewerReleaseAndLogsEveryOutcome) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    QStringList log;
    std::vector<QUrl> opened;
    int shown = 0;
    UpdateNotifier notifier(
        {}, bus_.connect(), [&](const QString& line) { log << line; },
        [&](const QUrl& page) { opened.push_back(page); },
        [&](const UpdateNotifier::Answer&) { ++shown; });
    const LanguageScope english(AppLanguage::english);
    notifier.present({UpdateCheckResult::Kind::failed, {}, {}, "the feed could not be downloaded"},
                     false);
    notifier.present({UpdateCheckResult::Kind::current, "0.1.0", {}, {}}, false);
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log[0], "Update check failed: the feed could not be downloaded.");
    EXPECT_EQ(log[1], "Update check: Corvanta is up to date (newest release 0.1.0).");

    const QUrl page("https://corvanta.example/download/0.2.0");
    notifier.present({UpdateCheckResult::Kind::newer, "0.2.0", page, {}}, false);
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 1; }));
    EXPECT_EQ(log.size(), 3);
    EXPECT_EQ(shown, 0);
    const auto& sent = server.received[0];
    EXPECT_EQ(sent.summary, "Update available");
    EXPECT_EQ(sent.body, "Corvanta 0.2.0 is available. Click to open the download page.");
    EXPECT_EQ(sent.actions, QStringList({"default", "Open"}));
    // A click on another notification opens nothing; a click on this one opens the page.
    emit server.ActionInvoked(sent.id + 1, "default");
    emit server.ActionInvoked(sent.id, "default");
    ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<QUrl>{page});
}

TEST_F(DesktopBus, AUserStartedCheckAlwaysAnswersInUserWords) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    std::vector<UpdateNotifier::Answer> answers;
    UpdateNotifier notifier(
        {}, bus_.connect(), [](const QString&) {}, [](const QUrl&) {},
        [&](const UpdateNotifier::Answer& answer) { answers.push_back(answer); });
    const LanguageScope english(AppLanguage::english);
    UpdateCheckResult offline{UpdateCheckResult::Kind::failed,
                              {},
                              {},
                              "the feed could not be downloaded (Timeout was reached)"};
    UpdateCheckResult forged = offline;
    forged.reason = "the signature of release 9.0 does not verify";
    forged.failure = UpdateCheckResult::Failure::untrusted;
    notifier.present(offline, true);
    notifier.present(forged, true);
    notifier.present({UpdateCheckResult::Kind::current, "0.1.0", {}, {}}, true);
    const QUrl page("https://corvanta.example/download/0.2.0");
    notifier.present({UpdateCheckResult::Kind::newer, "0.2.0", page, {}}, true);
    ASSERT_EQ(answers.size(), 4u);
    using Kind = UpdateNotifier::Answer::Kind;
    EXPECT_EQ(answers[0].kind, Kind::failed);
    EXPECT_EQ(answers[0].title, "Update check failed");
    EXPECT_EQ(answers[0].text,
              "The update server could not be reached. Check your connection and try again later.");
    // An answer that could not be verified is a failure of its own, in the user's words: never
    // the transfer library's.
    EXPECT_EQ(answers[1].kind, Kind::failed);
    EXPECT_EQ(answers[1].title, "Update check failed");
    EXPECT_EQ(answers[1].text,
              "The update server's answer could not be verified. Try again later.");
    EXPECT_FALSE(answers[1].text.contains("signature"));
    EXPECT_NE(answers[1].text, answers[0].text);
    EXPECT_EQ(answers[2].kind, Kind::upToDate);
    EXPECT_EQ(answers[2].title, "Corvanta is up to date");
    EXPECT_EQ(answers[3].kind, Kind::newer);
    EXPECT_EQ(answers[3].text, "Corvanta 0.2.0 is available.");
    EXPECT_EQ(answers[3].page, page);
    // A user-started check shows its answer itself: no notification besides.
    testing::settle();
    EXPECT_TRUE(server.received.empty());
}

TEST_F(DesktopBus, NotificationsReachTheServerInTheChosenLanguage) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    MinerNotifications notifications(bus_.connect());
    notifications.requestAuthorizationIfNeeded();
    notifications.requestAuthorizationIfNeeded();
    // The server groups them under the application's desktop entry.
    QGuiApplication::setDesktopFileName("example.corvanta.Corvanta");
    {
        const LanguageScope french(AppLanguage::french);
        notifications.notifyBlockFound(7, 312'500'000);
    }
    {
        const LanguageScope english(AppLanguage::english);
        notifications.send("critical-error",
                           Localization::shared().string("Erreur critique — Corvanta"), "x");
    }
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 2; }));
    EXPECT_EQ(server.capabilityRequests, 1);
    const auto& found = server.received[0];
    EXPECT_EQ(found.appName, "Corvanta");
    EXPECT_EQ(found.summary, "Bloc miné !");
    EXPECT_EQ(found.body, "Bloc 7 accepté par le nœud — 3.12500000 BTC en attente de maturité.");
    EXPECT_EQ(found.hints.value("desktop-entry").toString(), "example.corvanta.Corvanta");
    EXPECT_EQ(found.hints.value("sound-name").toString(), "message-new-instant");
    EXPECT_EQ(server.received[1].summary, "Critical error — Corvanta");
}

TEST_F(DesktopBus, AnIdentifierReplacesItsOwnNotificationOnly) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    MinerNotifications notifications(bus_.connect());
    // Sent at once, before any answer: the second must still replace the first.
    notifications.send("critical-error", "t", "first");
    notifications.send("critical-error", "t", "second");
    notifications.notifyBlockFound(7, 1);
    notifications.notifyRewardMatured(7, 1);
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 4; }));
    notifications.send("critical-error", "t", "third");
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 5; }));
    testing::settle();
    ASSERT_EQ(server.received.size(), 5u);

    const auto& first = server.received[0];
    EXPECT_EQ(first.body, "first");
    EXPECT_EQ(first.replacesId, 0u);
    const auto critical = [&](const QString& body) {
        return *std::find_if(server.received.begin(), server.received.end(),
                             [&](const auto& n) { return n.body == body; });
    };
    EXPECT_EQ(critical("second").replacesId, first.id);
    EXPECT_EQ(critical("third").replacesId, first.id);
    // The block's two notifications stand side by side, beside the error.
    const auto block = std::count_if(server.received.begin(), server.received.end(),
                                     [&](const auto& n) { return n.replacesId == 0; });
    EXPECT_EQ(block, 3);
}

TEST_F(DesktopBus, TestNetworkBlocksShareOneNoticeThatCountsThem) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    MinerNotifications notifications(bus_.connect());
    notifications.setBurstTimings(std::chrono::milliseconds(50), std::chrono::hours(1));
    const LanguageScope english(AppLanguage::english);
    // The first block shows at once, as a block of its own.
    notifications.notifyBlockFoundInBurst(101, 5'000'000'000);
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 1; }));
    EXPECT_EQ(server.received[0].summary, "Block mined!");
    EXPECT_EQ(server.received[0].body,
              "Block 101 accepted by the node — 50.00000000 BTC awaiting maturity.");
    // A thousand more make one update of the same notice, not a thousand notices.
    for (int height = 102; height <= 1101; ++height) {
        notifications.notifyBlockFoundInBurst(height, 5'000'000'000);
    }
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 2; }));
    testing::settle(300);
    ASSERT_EQ(server.received.size(), 2u);
    EXPECT_EQ(server.received[1].summary, "Blocks mined!");
    EXPECT_EQ(server.received[1].body, "1,001 blocks found — latest at height 1,101");
    EXPECT_EQ(server.received[1].replacesId, server.received[0].id);

    // After a quiet spell the count starts again, still in the same place; a mainnet block has
    // a notice of its own.
    notifications.setBurstTimings(std::chrono::milliseconds(50), std::chrono::milliseconds(0));
    testing::settle(10);
    notifications.notifyBlockFoundInBurst(1200, 1);
    notifications.notifyBlockFound(900'000, 1);
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 4; }));
    const auto byBody = [&](const QString& start) {
        return *std::find_if(server.received.begin() + 2, server.received.end(),
                             [&](const auto& n) { return n.body.startsWith(start); });
    };
    EXPECT_EQ(byBody("Block 1200 ").replacesId, server.received[0].id);
    EXPECT_EQ(byBody("Block 900000 ").replacesId, 0u);

    // Matured rewards count in a notice of their own, which the blocks' never replaces.
    notifications.setBurstTimings(std::chrono::milliseconds(50), std::chrono::hours(1));
    for (int height = 1; height <= 3; ++height) notifications.notifyRewardMaturedInBurst(height, 1);
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 6; }));
    EXPECT_EQ(server.received[4].summary, "Mature reward");
    EXPECT_EQ(server.received[4].replacesId, 0u);
    EXPECT_EQ(server.received[5].summary, "Rewards matured");
    EXPECT_EQ(server.received[5].body, "3 rewards matured — latest at height 3");
    EXPECT_EQ(server.received[5].replacesId, server.received[4].id);
}

TEST_F(DesktopBus, OnlyTheRecentlyUsedIdentifiersAreRemembered) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    MinerNotifications notifications(bus_.connect());
    const int heights = 80;  // more than are remembered
    for (int height = 1; height <= heights; ++height) {
        notifications.notifyBlockFound(height, 1);
        ASSERT_TRUE(waitUntil([&] { return server.received.size() == std::size_t(height); }));
    }
    // The newest block's notification is still replaced; the first one's server id is gone with
    // the notification itself, and a session finding blocks for weeks keeps no entry each.
    notifications.notifyBlockFound(heights, 2);
    notifications.notifyBlockFound(1, 2);
    ASSERT_TRUE(
        waitUntil([&] { return server.received.size() == std::size_t(heights) + 2; }, 60'000));
    const auto& newest = server.received[std::size_t(heights) - 1];
    const auto again = [&](int height) {
        const QString number = QString::number(height);
        return *std::find_if(server.received.begin() + heights, server.received.end(),
                             [&](const auto& n) { return n.body.contains(" " + number + " "); });
    };
    EXPECT_EQ(again(heights).replacesId, newest.id);
    EXPECT_EQ(again(1).replacesId, 0u);
}

TEST_F(DesktopBus, NodeOutputIsEscapedOnlyForServersThatRenderMarkup) {
    const QString output = "bad-txns <script> & \"more\"";
    for (const bool markup : {false, true}) {
        FakeNotifications server;
        if (markup) server.capabilities << "body-markup";
        QDBusConnection serverBus = bus_.connect();
        ASSERT_TRUE(server.serve(serverBus));
        MinerNotifications notifications(bus_.connect());
        notifications.send("critical-error", "t", output);
        ASSERT_TRUE(waitUntil([&] { return server.received.size() == 1; }));
        EXPECT_EQ(server.received[0].body,
                  markup ? "bad-txns &lt;script&gt; &amp; \"more\"" : output);
        serverBus.unregisterService("org.freedesktop.Notifications");
    }
}

TEST_F(DesktopBus, WithoutANotificationServerNothingWaits) {
    MinerNotifications offline(testing::disconnectedBus());
    MinerNotifications notifications(bus_.connect());
    QElapsedTimer timer;
    timer.start();
    for (MinerNotifications* sender : {&offline, &notifications}) {
        sender->send("critical-error", "t", "<lost>");
        sender->notifyBlockFound(1, 1);
    }
    // A call that waited for its answer could wait out the bus's 25 s call timeout; the sends
    // return without waiting at all, so a tenth of that leaves any loaded machine its time.
    EXPECT_LT(timer.elapsed(), 2'500);
    testing::settle(200);  // the failed calls come back and are dropped

    // A server that starts later is asked for its capabilities at the next notification.
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    notifications.send("critical-error", "t", "<b>");
    ASSERT_TRUE(waitUntil([&] { return server.received.size() == 1; }));
    EXPECT_EQ(server.capabilityRequests, 1);
    EXPECT_EQ(server.received[0].body, "<b>");
}

TEST_F(DesktopBus, TheIdleLockIsHeldAndReleased) {
    FakeLogind logind;
    ASSERT_TRUE(logind.serve(bus_.connect()));
    {
        SleepPreventionAssertion assertion(bus_.connect());
        assertion.acquire();
        assertion.acquire();
        ASSERT_TRUE(waitUntil([&] { return assertion.isHeld(); }));
        EXPECT_EQ(logind.lastArguments, (QStringList{"idle", "Corvanta", "Corvanta", "block"}));
        testing::settle();
        EXPECT_EQ(logind.calls(), 1);
        EXPECT_EQ(logind.released(), 0);

        assertion.release();
        EXPECT_FALSE(assertion.isHeld());
        EXPECT_TRUE(waitUntil([&] { return logind.released() == 1; }));

        assertion.acquire();
        ASSERT_TRUE(waitUntil([&] { return assertion.isHeld(); }));
        EXPECT_EQ(logind.calls(), 2);
    }
    // The destructor let the second one go.
    EXPECT_TRUE(waitUntil([&] { return logind.released() == 2; }));
}

TEST_F(DesktopBus, ALockArrivingAfterItsReleaseIsClosedAtOnce) {
    FakeLogind logind;
    logind.holdReplies = true;
    ASSERT_TRUE(logind.serve(bus_.connect()));
    SleepPreventionAssertion assertion(bus_.connect());
    assertion.acquire();
    ASSERT_TRUE(waitUntil([&] { return logind.calls() == 1; }));
    assertion.release();
    logind.answerHeld();
    EXPECT_TRUE(waitUntil([&] { return logind.released() == 1; }));
    EXPECT_FALSE(assertion.isHeld());

    // Destroyed while the call is on its way: the late lock is not kept either.
    auto second = std::make_unique<SleepPreventionAssertion>(bus_.connect());
    second->acquire();
    ASSERT_TRUE(waitUntil([&] { return logind.calls() == 2; }));
    second.reset();
    logind.answerHeld();
    EXPECT_TRUE(waitUntil([&] { return logind.released() == 2; }));
}

TEST_F(DesktopBus, WithoutLogindOrABusThereIsNoLock) {
    for (QDBusConnection connection : {bus_.connect(), testing::disconnectedBus()}) {
        SleepPreventionAssertion assertion(connection);
        assertion.acquire();
        testing::settle(200);
        EXPECT_FALSE(assertion.isHeld());
        assertion.release();
    }
}

TEST_F(DesktopBus, ReduceMotionFollowsThePortalWhileTheApplicationRuns) {
    FakePortalSettings portal;
    portal.values["org.gnome.desktop.interface/enable-animations"] = false;
    ASSERT_TRUE(portal.serve(bus_.connect()));
    Platform platform(bus_.connect());
    ASSERT_TRUE(waitUntil([&] { return platform.reduceMotion(); }));
    int changes = 0;
    QObject::connect(&platform, &Platform::reduceMotionChanged, [&] { ++changes; });
    portal.change("org.gnome.desktop.interface", "enable-animations", true);
    ASSERT_TRUE(waitUntil([&] { return !platform.reduceMotion(); }));
    // KDE's portal words it as a duration factor; other settings change nothing.
    portal.change("org.kde.kdeglobals.KDE", "AnimationDurationFactor", 0.0);
    ASSERT_TRUE(waitUntil([&] { return platform.reduceMotion(); }));
    portal.change("org.gnome.desktop.interface", "color-scheme", 1u);
    portal.change("org.gnome.desktop.interface", "enable-animations", QString("false"));
    portal.change("org.kde.kdeglobals.KDE", "AnimationDurationFactor", 0.5);
    ASSERT_TRUE(waitUntil([&] { return !platform.reduceMotion(); }));
    EXPECT_EQ(changes, 3);
}

TEST_F(DesktopBus, WithoutAPortalReduceMotionFollowsTheDesktopsSettingsFile) {
    const testing::TempDir config;
    const QString file = QString::fromStdString((config.path() / "kdeglobals").string());
    const auto write = [&](const char* factor) {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue("KDE/AnimationDurationFactor", factor);
    };
    write("0");
    std::optional<bool> reduce;
    DesktopMotionSetting setting(
        bus_.connect(), QtFileName(config.path()), [&](bool value) { reduce = value; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return reduce == true; }));
    write("1");
    ASSERT_TRUE(waitUntil([&] { return reduce == false; }));
    // Replaced whole, as desktops write it.
    QFile::remove(file);
    write("0");
    ASSERT_TRUE(waitUntil([&] { return reduce == true; }));
}

// The desktop's file is read on the interface's thread: what stands in its place and is no
// settings file (a FIFO no one writes to, a huge file, a folder, a link to any of them or to
// nothing) is passed over without a wait, and left where it is: the file is the desktop's, not
// ours to move.
TEST(DesktopMotionSettingFile, WhatIsNoSettingsFileInTheDesktopsPlaceIsPassedOverWithoutAWait) {
    const std::string settings = "[KDE]\nAnimationDurationFactor=0\n";
    for (const bool linked : {false, true}) {
        for (const auto kind : testing::everyOddKind) {
            if (kind == testing::OddKind::link) continue;
            SCOPED_TRACE((linked ? "a link to " : "") + testing::nameOf(kind));
            const testing::TempDir config;
            const auto path = config.path() / "kdeglobals";
            const auto outside = config.path() / "elsewhere";
            const auto placed =
                linked ? (testing::placeOdd(kind, outside / "target", outside / "more", settings),
                          testing::placeLink(path, outside / "target"))
                       : testing::placeOdd(kind, path, outside, settings);
            std::optional<bool> reduce;
            // No session bus: the file is read before the constructor returns.
            DesktopMotionSetting setting(
                QDBusConnection(QStringLiteral("corvanta-no-such-bus")), QtFileName(config.path()),
                [&](bool value) { reduce = value; }, nullptr);
            EXPECT_FALSE(reduce.has_value()) << "a value taken from it";
            // The desktop's real file, written later, is still followed.
            const auto real = config.path() / "real";
            testing::writeText(real, "[KDE]\nAnimationDurationFactor=0.5\n");
            std::filesystem::rename(path, config.path() / "moved");
            std::filesystem::rename(real, path);
            ASSERT_TRUE(waitUntil([&] { return reduce.has_value(); }));
            EXPECT_EQ(reduce, false);
            EXPECT_EQ(testing::whereSetAside(placed, config.path(), path), config.path() / "moved");
        }
    }
}

// Kept in a dotfile manager, the desktop's file is a link to a regular file: read through it, its
// target's changes followed, whether the target is edited or replaced whole.
TEST(DesktopMotionSettingFile, ALinkToARegularFileIsReadThroughAndFollowed) {
    const testing::TempDir config;
    const auto dotfiles = config.path() / "dotfiles";
    const auto target = dotfiles / "kdeglobals";
    testing::writeText(target, "[KDE]\nAnimationDurationFactor=0\n");
    std::filesystem::create_symlink(target, config.path() / "kdeglobals");
    std::optional<bool> reduce;
    DesktopMotionSetting setting(
        QDBusConnection(QStringLiteral("corvanta-no-such-bus")), QtFileName(config.path()),
        [&](bool value) { reduce = value; }, nullptr);
    EXPECT_EQ(reduce, true);
    testing::writeText(target, "[KDE]\nAnimationDurationFactor=1\n");
    ASSERT_TRUE(waitUntil([&] { return reduce == false; }));
    // Replaced whole beside itself, as a dotfile manager writes it; then edited again.
    testing::writeText(dotfiles / "kdeglobals.new", "[KDE]\nAnimationDurationFactor=0\n");
    std::filesystem::rename(dotfiles / "kdeglobals.new", target);
    ASSERT_TRUE(waitUntil([&] { return reduce == true; }));
    testing::writeText(target, "[KDE]\nAnimationDurationFactor=1\n");
    ASSERT_TRUE(waitUntil([&] { return reduce == false; }));
    EXPECT_TRUE(std::filesystem::is_symlink(config.path() / "kdeglobals")) << "never moved";
}

TEST(DesktopMotionSettingFile, TheFactorIsTakenFromTheKdeGroupOnly) {
    using Setting = DesktopMotionSetting;
    EXPECT_EQ(Setting::animationDurationFactor("[KDE]\nAnimationDurationFactor=0\n"), "0");
    EXPECT_EQ(Setting::animationDurationFactor(
                  "[General]\nAnimationDurationFactor=9\n[KDE]\r\nAnimationDurationFactor[$i]= "
                  "0.25\r\n[KDE][Other]\nAnimationDurationFactor=7"),
              "0.25");
    EXPECT_FALSE(Setting::animationDurationFactor("AnimationDurationFactor=0\n[KDE]\nA=1"));
    EXPECT_FALSE(Setting::animationDurationFactor(""));
}

}  // namespace
}  // namespace corvanta
