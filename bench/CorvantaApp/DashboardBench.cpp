// The dashboard's running cost, in this process over the test stand-in session, on the software
// renderer off screen, for CORVANTA_BENCH_DASHBOARD_SECONDS (60 by default) after 1 s to settle:
//   Dashboard/idle: nothing mining, only the one-second clocks;
//   Dashboard/mining: mining at 200 MH/s, the gauge's dot sweeping every frame;
//   Dashboard/hidden: mining, the window hidden;
//   Mini/mining: the mini dashboard while mining.
// Counters: CPU seconds used, frames drawn and their rate, resident memory at the end.
#include <benchmark/benchmark.h>

#include <QtQml/qqmlextensionplugin.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QTimer>

#include "ProcessUsage.h"
#include "Shell/CorvantaApp.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

namespace {

void runFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

constexpr const char* kScene = R"(
import QtQuick
import Corvanta
import "file://%1"

Item {
    width: %2
    height: %3
    FakeSessionModel {
        id: fake
        runState: %4
        isHashing: %4 === 3
        currentHashRateMHs: %4 === 3 ? 200 : 0
        activeNetwork: "regtest"
        cpuUsage: ({ systemFraction: 0.5, processFraction: 0.4 })
        confirmedNetworkTipTimestamp: new Date(Date.now() - 120000)
        chainStatusUpdatedAt: new Date()
        miningStartedAt: %4 === 3 ? new Date(Date.now() - 600000) : undefined
    }
    Loader {
        anchors.fill: parent
        sourceComponent: %5 { session: fake }
    }
}
)";

void Measure(benchmark::State& state, const char* view, int runState, bool hidden) {
    const bool mini = QByteArray(view) == "MiniDashboardView";
    const int seconds =
        qEnvironmentVariableIsSet("CORVANTA_BENCH_DASHBOARD_SECONDS")
            ? std::max(1, qEnvironmentVariableIntValue("CORVANTA_BENCH_DASHBOARD_SECONDS"))
            : 60;
    for (auto _ : state) {
        QQuickView window;
        window.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        window.setResizeMode(QQuickView::SizeRootObjectToView);
        const QString source = QString::fromLatin1(kScene)
                                   .arg(QStringLiteral(CORVANTA_FAKE_SESSION_DIR))
                                   .arg(mini ? 380 : 900)
                                   .arg(mini ? 377 : 860)
                                   .arg(runState)
                                   .arg(QString::fromLatin1(view));
        QFile file(QDir::temp().filePath(QStringLiteral("corvanta-dashboard-bench-%1.qml")
                                             .arg(QCoreApplication::applicationPid())));
        if (!file.open(QIODevice::WriteOnly)) return state.SkipWithError("no scene file");
        file.write(source.toUtf8());
        file.close();
        window.setSource(QUrl::fromLocalFile(file.fileName()));
        file.remove();
        if (window.status() != QQuickView::Ready)
            return state.SkipWithError("the view did not load");
        window.resize(mini ? 380 : 900, mini ? 377 : 860);
        window.show();
        long frames = 0;
        QObject::connect(&window, &QQuickWindow::frameSwapped, [&frames] { ++frames; });
        runFor(1000);
        if (hidden) window.hide();
        QCoreApplication::processEvents();
        frames = 0;
        const double before = corvanta::bench::processCpuSeconds();
        runFor(seconds * 1000);
        state.counters["cpu_s"] = corvanta::bench::processCpuSeconds() - before;
        state.counters["cpu_%"] = (corvanta::bench::processCpuSeconds() - before) / seconds * 100;
        state.counters["frames"] = double(frames);
        state.counters["fps"] = double(frames) / seconds;
        state.counters["rss_MiB"] = corvanta::bench::residentMiB();
    }
}
BENCHMARK_CAPTURE(Measure, idle, "ContentView", 0, false)
    ->Name("Dashboard/idle")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Measure, mining, "ContentView", 3, false)
    ->Name("Dashboard/mining")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Measure, hidden, "ContentView", 3, true)
    ->Name("Dashboard/hidden")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Measure, mini, "MiniDashboardView", 3, false)
    ->Name("Mini/mining")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_QUICK_BACKEND", "software", 1);
    QGuiApplication application(argc, argv);
    corvanta::loadBundledFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
