#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include <memory>

#include "AppTestEnvironment.h"
#include "FakeServices.h"
#include "LanguageScope.h"
#include "Localization/Formatting.h"
#include "Notifications/MinerNotifications.h"
#include "PrivateBus.h"
#include "Shell/DesktopMotionSetting.h"
#include "Shell/Platform.h"
#include "SystemServices/SleepPreventionAssertion.h"

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

TEST_F(DesktopBus, NotificationsReachTheServerInTheChosenLanguage) {
    FakeNotifications server;
    ASSERT_TRUE(server.serve(bus_.connect()));
    MinerNotifications notifications(bus_.connect());
    notifications.requestAuthorizationIfNeeded();
    notifications.requestAuthorizationIfNeeded();
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
    EXPECT_EQ(found.hints.value("desktop-entry").toString(), "corvanta");
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
    EXPECT_LT(timer.elapsed(), 100);
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
        bus_.connect(), QString::fromStdString(config.path().string()),
        [&](bool value) { reduce = value; }, nullptr);
    ASSERT_TRUE(waitUntil([&] { return reduce == true; }));
    write("1");
    ASSERT_TRUE(waitUntil([&] { return reduce == false; }));
    // Replaced whole, as desktops write it.
    QFile::remove(file);
    write("0");
    ASSERT_TRUE(waitUntil([&] { return reduce == true; }));
}

}  // namespace
}  // namespace corvanta
