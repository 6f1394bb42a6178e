// What the widget host costs while it sits on the desktop, and how soon a widget chosen in the
// gallery is drawn.
//
// idleHost: the host program itself with both widgets on a live snapshot and the gallery closed,
// left alone for 60 s: its resident memory at the end and the processor time it used meanwhile.
// choiceToFirstFrame: from a click on a gallery's "add" button to the first frame of the new
// widget's window (its window, plug-in view, provider read and rendering).
// Offscreen by default; QT_QPA_PLATFORM=xcb under Xvfb measures a real window system.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QQuickItem>
#include <QTest>
#include <fstream>
#include <sstream>

#include "HostTestSupport.h"
#include "corvanta/host/WidgetHost.h"
#include "corvanta/shared/SharedContainer.h"
#include "corvanta/widgetkit/HostBus.h"

namespace {

using namespace corvanta;

void writeLiveSnapshot() {
    MinerSnapshot snapshot;
    snapshot.hashRateMHs = 274.5;
    snapshot.isRunning = true;
    snapshot.appliedMode = "max";
    snapshot.totalSats = 312'500'000;
    snapshot.capturedAt = ReferenceDate::now();
    SharedContainer::write(snapshot);
}

// Resident memory of another process in MiB, from /proc/<pid>/status.
double residentMiBOf(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// User and system processor time of another process in seconds, from /proc/<pid>/stat.
double cpuSecondsOf(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command's closing parenthesis: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index >= 14) ticks += std::stod(field);
    }
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

void idleHost(benchmark::State& state) {
    corvanta::testing::PrivateBus bus;
    const QString appName = QStringLiteral("bench-idle-app");
    {
        QDBusConnection appBus = QDBusConnection::connectToBus(bus.address(), appName);
        writeLiveSnapshot();
        QProcess host;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("CORVANTA_WIDGET_PLUGINS",
                           QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path());
        host.setProcessEnvironment(environment);
        host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        host.start(CORVANTA_WIDGET_HOST, QStringList());
        if (!QTest::qWaitFor([&] {
                return appBus.interface()->isServiceRegistered(widgetkit::hostBus::service).value();
            })) {
            state.SkipWithError("the host did not appear on the bus");
            return;
        }
        QTest::qWait(2000);  // its start and first frames out of the way
        for (auto _ : state) {
            const double cpuBefore = cpuSecondsOf(host.processId());
            QElapsedTimer timer;
            timer.start();
            QTest::qWait(60'000);
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double cpu = cpuSecondsOf(host.processId()) - cpuBefore;
            state.SetIterationTime(seconds);
            state.counters["rss_MiB"] = residentMiBOf(host.processId());
            state.counters["cpu_ms"] = cpu * 1000;
            state.counters["cpu_percent"] = 100 * cpu / seconds;
        }
        host.terminate();
        host.waitForFinished(5000);
    }
    QDBusConnection::disconnectFromBus(appName);
}
BENCHMARK(idleHost)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

void choiceToFirstFrame(benchmark::State& state) {
    corvanta::testing::TempDir dir;
    const auto file = dir.path() / "widget-host.json";
    corvanta::testing::writeText(file, R"({"instances": []})");
    writeLiveSnapshot();
    const auto now = [] { return QDateTime::currentDateTimeUtc(); };
    host::WidgetHost widgetHost(
        host::loadWidgets(QFileInfo(CORVANTA_WIDGET_PLUGIN_FILE).path(), now),
        host::InstanceStore(file), now);
    widgetHost.start();
    bool framed = false;
    QObject::connect(&widgetHost, &host::WidgetHost::added, [&framed](host::WidgetWindow* window) {
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [&framed] { framed = true; });
    });
    for (auto _ : state) {
        QQuickItem* add = corvanta::testing::findItem(widgetHost.gallery()->rootObject(),
                                                      "add corvanta.widget.mining medium");
        if (add == nullptr) {
            state.SkipWithError("no add button in the gallery");
            break;
        }
        framed = false;
        QElapsedTimer timer;
        timer.start();
        QMetaObject::invokeMethod(add, "clicked");
        if (!QTest::qWaitFor([&] { return framed; }, 5000)) {
            state.SkipWithError("no frame within 5 s");
            break;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.PauseTiming();
        widgetHost.remove(0);
        widgetHost.openGallery();
        QTest::qWait(50);
        state.ResumeTiming();
    }
}
BENCHMARK(choiceToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
