// Whether the desktop has a tray, followed as trays come and go: a StatusNotifierItem watcher on
// the bus counts only with a host registered to it, and an X11 tray whenever its probe says so.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

#include "AppTestEnvironment.h"
#include "MenuBar/TrayPresence.h"
#include "PrivateBus.h"

namespace corvanta::testing {

// A StatusNotifierItem watcher, as a panel runs one, with or without a host registered.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)

  public:
    bool serve(QDBusConnection bus) {
        bus_ = bus;
        return bus.registerObject(
                   QStringLiteral("/StatusNotifierWatcher"), this,
                   QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals) &&
               bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    void leave() { bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher")); }
    bool hostRegistered() const { return host_.load(); }
    void registerHost() {
        host_ = true;
        emit StatusNotifierHostRegistered();
    }

  signals:
    void StatusNotifierHostRegistered();

  private:
    QDBusConnection bus_{QString()};
    // Read in the thread that serves the bus, when the watcher lives in one of its own.
    std::atomic<bool> host_ = false;
};

namespace {

TEST(TrayPresence, AWatcherCountsOnlyWithAHostAndIsFollowedAsItComesAndGoes) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    TrayPresence presence(bus.connect(), {});
    QSignalSpy changed(&presence, &TrayPresence::changed);
    // Asked at once: nothing there yet.
    settle(200);
    EXPECT_FALSE(presence.available());

    // A panel comes up after us: its watcher first, its host a moment later.
    FakeStatusNotifierWatcher watcher;
    ASSERT_TRUE(watcher.serve(bus.connect()));
    settle(200);
    EXPECT_FALSE(presence.statusNotifierHost()) << "a watcher with no host shows no item";
    watcher.registerHost();
    ASSERT_TRUE(waitUntil([&] { return presence.statusNotifierHost(); }));
    EXPECT_TRUE(presence.available());
    EXPECT_FALSE(presence.xembedTray());
    EXPECT_EQ(changed.count(), 1);

    // The panel goes: no tray.
    watcher.leave();
    ASSERT_TRUE(waitUntil([&] { return !presence.available(); }));
    EXPECT_EQ(changed.count(), 2);
}

TEST(TrayPresence, AWatcherAndHostAlreadyThereAreSeenAtStart) {
    PrivateBus bus;
    FakeStatusNotifierWatcher watcher;
    watcher.registerHost();
    ASSERT_TRUE(watcher.serve(bus.connect()));
    TrayPresence presence(bus.connect(), {});
    ASSERT_TRUE(waitUntil([&] { return presence.available(); }));
}

TEST(TrayPresence, AnX11TrayIsFollowedByItsProbeAndNoBusMeansNoWatcher) {
    std::atomic<bool> owned = false;
    TrayPresence::Probes probes;
    probes.xembedTray = [&] { return owned.load(); };
    probes.xembedIntervalMs = 10;
    TrayPresence presence(disconnectedBus(), probes);
    QSignalSpy changed(&presence, &TrayPresence::changed);
    EXPECT_FALSE(presence.available());
    owned = true;
    ASSERT_TRUE(waitUntil([&] { return presence.xembedTray(); }));
    EXPECT_TRUE(presence.available());
    EXPECT_FALSE(presence.statusNotifierHost());
    owned = false;
    ASSERT_TRUE(waitUntil([&] { return !presence.available(); }));
    EXPECT_EQ(changed.count(), 2);

    // Without probes and without a bus there is never a tray.
    TrayPresence none(disconnectedBus(), {});
    settle(100);
    EXPECT_FALSE(none.available());
}

// A watcher served from a thread of its own, as a panel serves it from its own process: a
// question that blocks this thread still gets its answer.
class WatcherInItsOwnThread {
  public:
    WatcherInItsOwnThread() {
        watcher_.moveToThread(&thread_);
        thread_.start();
    }
    ~WatcherInItsOwnThread() {
        QThread* const here = QThread::currentThread();
        run([this, here] { watcher_.moveToThread(here); });
        thread_.quit();
        thread_.wait();
    }
    template <typename Step>
    void run(Step step) {
        QMetaObject::invokeMethod(&watcher_, step, Qt::BlockingQueuedConnection);
    }
    FakeStatusNotifierWatcher& watcher() { return watcher_; }

  private:
    QThread thread_;
    FakeStatusNotifierWatcher watcher_;
};

TEST(TrayPresence, TheKindOfItemIsAskedOnTheSpotAndOnlyATrayOfThatKindShowsIt) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    WatcherInItsOwnThread served;
    bool serving = false;
    served.run([&] { serving = served.watcher().serve(bus.connect()); });
    ASSERT_TRUE(serving);
    TrayPresence::Probes probes;
    probes.xembedTray = [] { return true; };
    TrayPresence presence(bus.connect(), probes);
    settle(200);

    // A panel whose X11 tray is up before its StatusNotifierItem host: Qt would make an X11 icon,
    // which this tray shows and a host alone would not.
    EXPECT_EQ(presence.kindToMakeNow(), TrayItemKind::xembed);
    EXPECT_TRUE(presence.shows(TrayItemKind::xembed));
    EXPECT_FALSE(presence.shows(TrayItemKind::statusNotifierItem));

    // The host registers: asked now, before the news of it is even read here, the item would be
    // a StatusNotifierItem.
    served.run([&] { served.watcher().registerHost(); });
    EXPECT_EQ(presence.kindToMakeNow(), TrayItemKind::statusNotifierItem);
    ASSERT_TRUE(waitUntil([&] { return presence.shows(TrayItemKind::statusNotifierItem); }));

    // The panel goes and an X11 tray alone stays (trayer): it shows only the X11 kind.
    served.run([&] { served.watcher().leave(); });
    ASSERT_TRUE(waitUntil([&] { return !presence.shows(TrayItemKind::statusNotifierItem); }));
    EXPECT_TRUE(presence.available());
    EXPECT_TRUE(presence.shows(TrayItemKind::xembed));
    EXPECT_EQ(presence.kindToMakeNow(), TrayItemKind::xembed);

    // Without a bus Qt makes only X11 icons.
    TrayPresence busless(disconnectedBus(), {});
    EXPECT_EQ(busless.kindToMakeNow(), TrayItemKind::xembed);
}

}  // namespace
}  // namespace corvanta::testing

#include "TrayPresenceTest.moc"
