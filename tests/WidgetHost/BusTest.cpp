#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include "HostTestSupport.h"
#include "corvanta/host/HostBus.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/widgetkit/WidgetCenter.h"

namespace corvanta::host {
namespace {

namespace fs = std::filesystem;
using widgetkit::WidgetCenter;

// A named connection to the test's bus, closed with the test.
class Connection {
  public:
    Connection(const testing::PrivateBus& bus, QString name)
        : name_(std::move(name)), bus_(QDBusConnection::connectToBus(bus.address(), name_)) {}
    ~Connection() { QDBusConnection::disconnectFromBus(name_); }
    const QDBusConnection& operator*() const { return bus_; }

  private:
    QString name_;
    QDBusConnection bus_;
};

bool hostOnBus(const QDBusConnection& bus) {
    return QTest::qWaitFor(
        [&] { return bus.interface()->isServiceRegistered(widgetkit::hostBus::service).value(); });
}

MinerSnapshot snapshotAt(double capturedAt) {
    MinerSnapshot snapshot;
    snapshot.hashRateMHs = 3;
    snapshot.isRunning = true;
    snapshot.capturedAt = {capturedAt};
    return snapshot;
}

class Bus : public testing::QtTest {
  protected:
    testing::TempDir dir_;
    testing::ScopedEnv dataHome_{"XDG_DATA_HOME", (dir_.path() / "data").string()};
    testing::PrivateBus bus_;
    Connection host_{bus_, "host"};
    Connection app_{bus_, "app"};
};

int timelineReads() {
    return testing::linesOf("rigwell.widgets.timeline").filter("timeline demandé").size();
}

TEST_F(Bus, ReloadCallsMakeTheProvidersReadAgainCoalescedToOneReadASecond) {
    ASSERT_TRUE((*host_).isConnected());
    SharedContainer::write(snapshotAt(1));
    WidgetHost host(loadWidgets(QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path(),
                                [] { return QDateTime::currentDateTimeUtc(); }),
                    InstanceStore(dir_.path() / "widget-host.json"),
                    [] { return QDateTime::currentDateTimeUtc(); });
    auto* adaptor = new HostBusAdaptor([&] { host.reloadAll(); },
                                       [&](const QString& kind) { host.reload(kind); },
                                       [&] { host.openGallery(); }, &host);
    bool nameTaken = false;
    ASSERT_TRUE(publishOnBus(*host_, adaptor, [&] { nameTaken = true; }));
    host.start();
    ASSERT_TRUE(hostOnBus(*app_));
    const int initial = timelineReads();
    EXPECT_EQ(initial, 2) << "one timeline for each of the two default instances";

    // A burst: one read per instance at once, then one trailing read, then nothing.
    const WidgetCenter center(*app_);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 10; ++i) center.reloadAllTimelines();
    ASSERT_TRUE(QTest::qWaitFor([&] { return timelineReads() == initial + 2; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return timelineReads() == initial + 4; }, 30000));
    EXPECT_GE(clock.elapsed(), 900) << "the trailing read waits for the end of the second";
    QTest::qWait(1300);
    EXPECT_EQ(timelineReads(), initial + 4);

    // One kind only.
    auto kindReload = QDBusMessage::createMethodCall(
        widgetkit::hostBus::service, widgetkit::hostBus::path, widgetkit::hostBus::interface,
        widgetkit::hostBus::reloadKind);
    kindReload << QStringLiteral("corvanta.widget.earnings");
    (*app_).send(kindReload);
    ASSERT_TRUE(QTest::qWaitFor([&] { return timelineReads() == initial + 5; }));
    QTest::qWait(300);
    EXPECT_EQ(timelineReads(), initial + 5);

    // The gallery, asked for from the application's menu.
    EXPECT_EQ(host.gallery(), nullptr);
    // Asked without blocking: the host answers from this same thread.
    const QDBusPendingCall opened = (*app_).asyncCall(QDBusMessage::createMethodCall(
        widgetkit::hostBus::service, widgetkit::hostBus::path, widgetkit::hostBus::interface,
        widgetkit::hostBus::openGallery));
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.isFinished(); }));
    EXPECT_FALSE(opened.isError()) << opened.error().message().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.gallery() && host.gallery()->isVisible(); }));

    // A second host gives way to the first.
    Connection other(bus_, "second-host");
    bool secondTaken = false;
    HostBusAdaptor second([] {}, [](const QString&) {}, [] {});
    ASSERT_TRUE(publishOnBus(*other, &second, [&] { secondTaken = true; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return secondTaken; }));
    EXPECT_FALSE(nameTaken);
}

TEST_F(Bus, TheAppAsksForAReloadOnlyOnceItsSnapshotIsOnDisk) {
    std::vector<std::optional<MinerSnapshot>> seenAtReload;
    HostBusAdaptor adaptor([&] { seenAtReload.push_back(SharedContainer::read()); },
                           [](const QString&) {}, [] {});
    ASSERT_TRUE(publishOnBus(*host_, &adaptor, [] {}));
    ASSERT_TRUE(hostOnBus(*app_));

    const WidgetCenter center(*app_);
    widgetkit::publishWidgetSnapshot(snapshotAt(1), false, center);
    widgetkit::publishWidgetSnapshot(snapshotAt(2), true, center);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seenAtReload.size() == 1; }));
    EXPECT_EQ(seenAtReload[0], snapshotAt(2)) << "the host read the tick's own snapshot";
    widgetkit::publishWidgetSnapshot(snapshotAt(3), false, center);
    widgetkit::publishWidgetSnapshot(snapshotAt(4), true, center);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seenAtReload.size() == 2; }));
    EXPECT_EQ(seenAtReload[1], snapshotAt(4));
    QTest::qWait(200);
    EXPECT_EQ(seenAtReload.size(), 2u) << "ticks without a reload ask for none";
}

TEST_F(Bus, WithoutABusOrWithoutAHostAReloadDoesNothing) {
    const WidgetCenter noBus(QDBusConnection(QStringLiteral("never-connected")));
    widgetkit::publishWidgetSnapshot(snapshotAt(5), true, noBus);
    EXPECT_EQ(SharedContainer::read(), snapshotAt(5)) << "the snapshot is written all the same";

    const WidgetCenter noHost(*app_);
    noHost.reloadAllTimelines();
    // A host that comes later is not started by the call, nor reached by it.
    int reloads = 0;
    HostBusAdaptor adaptor([&] { ++reloads; }, [](const QString&) {}, [] {});
    EXPECT_FALSE((*app_).interface()->isServiceRegistered(widgetkit::hostBus::service).value());
    ASSERT_TRUE(publishOnBus(*host_, &adaptor, [] {}));
    ASSERT_TRUE(hostOnBus(*app_));
    QTest::qWait(200);
    EXPECT_EQ(reloads, 0);
}

// The host program on the test's bus, off screen, over the real plug-in and folders of `dir`.
class HostProcess {
  public:
    HostProcess(const testing::PrivateBus& bus, const fs::path& dir) {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((dir / "config").string()));
        environment.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
        environment.insert("CORVANTA_WIDGET_PLUGINS",
                           QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QT_LOGGING_RULES", "rigwell.widgets.timeline.info=true");
        process_.setProcessEnvironment(environment);
        process_.start(CORVANTA_WIDGET_HOST, {"--started-by-app"});
    }
    ~HostProcess() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    QProcess& operator*() { return process_; }
    QProcess* operator->() { return &process_; }

  private:
    QProcess process_;
};

TEST_F(Bus, ASecondHostProgramExitsAtOnceAndLeavesTheFirstInCharge) {
    HostProcess first(bus_, dir_.path());
    ASSERT_TRUE(hostOnBus(*app_));
    const QString owner = (*app_).interface()->serviceOwner(widgetkit::hostBus::service).value();
    // The first host reads its snapshot once it is in charge.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return first->readAllStandardError().contains("timeline demandé"); }));

    HostProcess second(bus_, dir_.path());
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 1);
    const QString errors = QString::fromUtf8(second->readAllStandardError());
    EXPECT_TRUE(errors.contains("another widget host is already running")) << errors.toStdString();
    EXPECT_FALSE(errors.contains("demandé")) << "the second host showed no widget";

    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ((*app_).interface()->serviceOwner(widgetkit::hostBus::service).value(), owner);
    EXPECT_EQ(
        decodeInstances(testing::readText(dir_.path() / "config" / "Corvanta" / "widget-host.json"))
            .size(),
        2u)
        << "the first host's defaults, untouched by the second";
}

}  // namespace
}  // namespace corvanta::host
