// The application's start-up and idle cost.
//   FirstFrame/offscreen, FirstFrame/xvfb: the real program, main() to its first drawn frame
//     (what it reports with --report-frames), one fresh process and home per run.
//   Idle/shown, Idle/hidden: the shell in this process over a fresh home (onboarding not done,
//     so nothing mines) for CORVANTA_BENCH_IDLE_SECONDS (60 by default), after 2 s to settle
//     (the engine self-test runs at start): CPU seconds used,
//     resident memory at the end, frames drawn.
#include <benchmark/benchmark.h>

#include <QtQml/qqmlextensionplugin.h>
#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <optional>

#include "FreshHome.h"
#include "ProcessUsage.h"
#include "Session/MiningSessionModel.h"
#include "Shell/CorvantaApp.h"
#include "Shell/Platform.h"
#include "Shell/Prefs.h"

Q_IMPORT_QML_PLUGIN(CorvantaPlugin)

namespace {

using corvanta::bench::freshHome;

// Starts the program and returns its first-frame time in milliseconds.
std::optional<double> firstFrame(QProcessEnvironment environment) {
    QTemporaryDir root;
    const QProcessEnvironment home = freshHome(root.path());
    for (const QString& key : home.keys()) environment.insert(key, home.value(key));
    QProcess app;
    app.setProcessEnvironment(environment);
    app.start(CORVANTA_PROGRAM, {"--report-frames"});
    static const QRegularExpression reported("first frame after ([0-9.]+) ms");
    QString errors;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        app.waitForReadyRead(100);
        errors += QString::fromUtf8(app.readAllStandardError());
        if (const auto match = reported.match(errors); match.hasMatch()) {
            app.terminate();
            app.waitForFinished(10000);
            return match.captured(1).toDouble();
        }
        if (app.state() == QProcess::NotRunning) break;
    }
    app.kill();
    app.waitForFinished();
    return std::nullopt;
}

void FirstFrameOffscreen(benchmark::State& state) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    for (auto _ : state) {
        const auto ms = firstFrame(environment);
        if (!ms) return state.SkipWithError("the program reported no frame");
        state.SetIterationTime(*ms / 1000);
    }
}
BENCHMARK(FirstFrameOffscreen)
    ->Name("FirstFrame/offscreen")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void FirstFrameXvfb(benchmark::State& state) {
    QProcess xvfb;
    QTemporaryDir root;
    xvfb.setStandardOutputFile(root.path() + "/display");
    xvfb.start("sh", {"-c", "exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp"});
    QString display;
    for (int i = 0; i < 100 && display.isEmpty(); ++i) {
        QThread::msleep(50);
        QFile file(root.path() + "/display");
        if (file.open(QIODevice::ReadOnly)) display = QString::fromUtf8(file.readAll()).trimmed();
    }
    if (display.isEmpty()) return state.SkipWithError("Xvfb did not start");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("DISPLAY", ":" + display);
    for (auto _ : state) {
        const auto ms = firstFrame(environment);
        if (!ms) {
            state.SkipWithError("the program reported no frame");
            break;
        }
        state.SetIterationTime(*ms / 1000);
    }
    xvfb.terminate();
    xvfb.waitForFinished();
}
BENCHMARK(FirstFrameXvfb)
    ->Name("FirstFrame/xvfb")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void Idle(benchmark::State& state, bool hidden) {
    const int seconds = std::max(1, qEnvironmentVariableIntValue("CORVANTA_BENCH_IDLE_SECONDS"));
    const int idleSeconds = qEnvironmentVariableIsSet("CORVANTA_BENCH_IDLE_SECONDS") ? seconds : 60;
    for (auto _ : state) {
        QTemporaryDir root;
        const QProcessEnvironment home = freshHome(root.path());
        for (const QString& key : home.keys()) qputenv(qPrintable(key), home.value(key).toUtf8());
        corvanta::Prefs prefs{corvanta::Preferences()};
        corvanta::Platform platform{QDBusConnection::sessionBus()};
        corvanta::CorvantaApp::Options options;
        options.makeSession = [](QObject* parent) -> QObject* {
            return new corvanta::MiningSessionModel(corvanta::Preferences(),
                                                    QDBusConnection::sessionBus(),
                                                    QDBusConnection::systemBus(), {}, parent);
        };
        corvanta::CorvantaApp app(prefs, platform, std::move(options));
        if (!app.launch()) return state.SkipWithError("the window did not load");
        long frames = 0;
        QObject::connect(app.window(), &QQuickWindow::frameSwapped, [&frames] { ++frames; });
        // Settle the start-up, then measure.
        const auto runFor = [](int milliseconds) {
            QEventLoop loop;
            QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
            loop.exec();
        };
        runFor(2000);
        if (hidden) app.window()->hide();
        QCoreApplication::processEvents();
        frames = 0;
        const double cpuBefore = corvanta::bench::processCpuSeconds();
        runFor(idleSeconds * 1000);
        state.counters["cpu_s"] = corvanta::bench::processCpuSeconds() - cpuBefore;
        state.counters["rss_MiB"] = corvanta::bench::residentMiB();
        state.counters["frames"] = double(frames);
        state.counters["idle_s"] = idleSeconds;
    }
}
BENCHMARK_CAPTURE(Idle, shown, false)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(Idle, hidden, true)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_QUICK_BACKEND", "software", 1);
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    corvanta::loadBundledFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
