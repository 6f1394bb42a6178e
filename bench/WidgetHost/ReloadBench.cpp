// From a ReloadAllTimelines call on the session bus to the next frame of both widgets: the bus,
// the provider's read of the snapshot file, the views' new content and their rendering. The
// host's one-read-a-second coalescing is set to zero here; in use it adds nothing to the first
// call after a quiet second and delays the calls of a burst to the end of that second.
// Offscreen by default; QT_QPA_PLATFORM=xcb under Xvfb measures a real window system.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTest>

#include "HostTestSupport.h"
#include "corvanta/host/HostBus.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/widgetkit/WidgetCenter.h"

namespace {

using namespace corvanta;

void reloadToFrame(benchmark::State& state) {
    corvanta::testing::PrivateBus bus;
    const QString hostName = QStringLiteral("bench-host"), appName = QStringLiteral("bench-app");
    {
        QDBusConnection hostBus = QDBusConnection::connectToBus(bus.address(), hostName);
        QDBusConnection appBus = QDBusConnection::connectToBus(bus.address(), appName);
        const auto now = [] { return QDateTime::currentDateTimeUtc(); };
        MinerSnapshot snapshot;
        snapshot.isRunning = true;
        snapshot.capturedAt = ReferenceDate::now();
        SharedContainer::write(snapshot);

        host::WidgetHost widgetHost(
            host::loadWidgets(QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path(), now),
            host::InstanceStore(host::InstanceStore::defaultFile()), now,
            std::chrono::milliseconds(0));
        host::HostBusAdaptor adaptor([&] { widgetHost.reloadAll(); },
                                     [&](const QString& kind) { widgetHost.reload(kind); }, [] {});
        host::publishOnBus(hostBus, &adaptor, [] {});
        widgetHost.start();
        if (!QTest::qWaitFor([&] {
                return appBus.interface()->isServiceRegistered(widgetkit::hostBus::service).value();
            })) {
            state.SkipWithError("the host did not appear on the bus");
            return;
        }
        int framesLeft = 0;
        for (const auto& shown : widgetHost.shown()) {
            QObject::connect(shown.window.get(), &QQuickWindow::frameSwapped,
                             [&framesLeft] { --framesLeft; });
        }
        QTest::qWait(200);  // first frames out of the way

        const widgetkit::WidgetCenter center(appBus);
        for (auto _ : state) {
            // A new rate and a new block count, so that both widgets have something to draw.
            snapshot.hashRateMHs += 1;
            snapshot.blocksFound += 1;
            snapshot.capturedAt = ReferenceDate::now();
            SharedContainer::write(snapshot);
            framesLeft = int(widgetHost.shown().size());
            QElapsedTimer timer;
            timer.start();
            center.reloadAllTimelines();
            if (!QTest::qWaitFor([&] { return framesLeft <= 0; }, 5000)) {
                state.SkipWithError("no new frame within 5 s");
                break;
            }
            state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        }
    }
    QDBusConnection::disconnectFromBus(hostName);
    QDBusConnection::disconnectFromBus(appName);
}
BENCHMARK(reloadToFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    const corvanta::testing::HeadlessSession session(/*keepPlatform=*/true);
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("rigwell.widgets.timeline.info=false\ncorvanta.widget-host.info=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
