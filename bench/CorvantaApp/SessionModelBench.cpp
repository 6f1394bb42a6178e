// The session model at rest: GUI-thread time of its once-a-second tick, and the memory the idle
// model holds after a minute and after an hour of ticks.
//
//   CorvantaAppBench --benchmark_filter=Tick      the tick, on a model showing a running session
//   CorvantaAppBench --benchmark_filter=Hour      an hour of ticks on a clock running 1000× fast
//   CorvantaAppBench --benchmark_filter=Minute    one real minute with the product's periods
// Run the memory ones one per process: the figure is the whole process's.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <string>
#include <vector>

#include "ProcessUsage.h"
#include "Session/MiningSessionModel.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;

// Times every event the GUI thread delivers to the model or anything it owns.
class TimingApplication : public QCoreApplication {
  public:
    using QCoreApplication::QCoreApplication;

    QObject* watched = nullptr;
    // One entry per tick: the GUI time from one timer event of the model's to the next.
    std::vector<double> tickMicroseconds;

    bool notify(QObject* receiver, QEvent* event) override {
        if (!watched || !ownedByWatched(receiver)) return QCoreApplication::notify(receiver, event);
        QElapsedTimer timer;
        timer.start();
        const bool handled = QCoreApplication::notify(receiver, event);
        const double spent = double(timer.nsecsElapsed()) / 1000.0;
        if (event->type() == QEvent::Timer || tickMicroseconds.empty()) {
            tickMicroseconds.push_back(spent);
        } else {
            tickMicroseconds.back() += spent;
        }
        return handled;
    }

  private:
    bool ownedByWatched(QObject* object) const {
        for (; object; object = object->parent()) {
            if (object == watched) return true;
        }
        return false;
    }
};

TimingApplication* application() {
    return static_cast<TimingApplication*>(QCoreApplication::instance());
}

QDBusConnection noBus() {
    const QString name = QStringLiteral("bench-no-bus");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), name);
    QDBusConnection::disconnectFromBus(name);
    return bus;
}

SessionEnvironment environmentIn(const QTemporaryDir& dir) {
    SessionEnvironment environment;
    const std::filesystem::path root = dir.path().toStdString();
    environment.proofLogFile = [root](BitcoinNetwork) { return root / "proof.json"; };
    environment.historyFile = [root](BitcoinNetwork) { return root / "history.json"; };
    environment.snapshotContainer = root / "group";
    return environment;
}

void runFor(std::chrono::milliseconds duration) {
    QTimer::singleShot(duration, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
}

// What a model shows in the middle of a session, so that every derived value has work to do.
void showARunningSession(MiningSessionModel& model) {
    const auto now = std::chrono::system_clock::now();
    ChainStatus status;
    status.chain = "main";
    status.blocks = status.headers = 900'000;
    status.initialBlockDownload = false;
    model.setPayoutAddressInput(QStringLiteral("bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"));
    model.setRunState({MiningSessionModel::RunStateKind::mining, 0, 0, 0, {}});
    model.setChainStatus(status);
    model.setChainStatusUpdatedAt(now);
    model.setPeerCount(10);
    model.setNetworkTipObservedAt(now - 120s);
    model.setEffectiveWorkerCount(4);
    model.setCurrentHashRateMHs(25.5);
    model.setBestDifficultyAllTime(1.5e6);
    model.setBestDifficultyNetwork(1.1e14);
    model.setWorkLoadLatencies(std::vector<double>(200, 3.5));
    model.setEarnings(
        EarningsSnapshot{"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", 900'000, 0, 0, 0, 0});
    std::vector<HashRateSample> samples(150);
    for (auto& sample : samples) sample.megahashesPerSecond = 25.5;
    model.setHashRateHistory(std::move(samples));
    model.setPersistedHistory(std::vector<FoundBlock>(20), 20);
}

void Tick(benchmark::State& state) {
    const QTemporaryDir dir;
    auto environment = environmentIn(dir);
    environment.timings.cpuUsageInterval = 2ms;
    environment.timings.scheduleTickInterval = 1h;
    environment.timings.selfTestInterval = 1h;
    std::vector<double> ticks;
    for (auto _ : state) {
        MiningSessionModel model(Preferences(dir.filePath("prefs.ini")), noBus(), noBus(),
                                 environment);
        showARunningSession(model);
        runFor(200ms);  // launch work out of the way
        application()->watched = &model;
        application()->tickMicroseconds.clear();
        runFor(4s);
        application()->watched = nullptr;
        ticks = application()->tickMicroseconds;
        state.SetIterationTime(4.0);
    }
    std::sort(ticks.begin(), ticks.end());
    state.counters["ticks"] = double(ticks.size());
    state.counters["median_us"] = ticks.empty() ? 0 : ticks[ticks.size() / 2];
    state.counters["p99_us"] = ticks.empty() ? 0 : ticks[ticks.size() * 99 / 100];
    state.counters["worst_us"] = ticks.empty() ? 0 : ticks.back();
}
BENCHMARK(Tick)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// An hour of the model's life at rest: 3,600 ticks, with the schedule ticker and the self-test
// thirty and six hundred times as slow, on a wall clock running a thousand times fast.
void IdleHour(benchmark::State& state) {
    const QTemporaryDir dir;
    auto environment = environmentIn(dir);
    environment.timings.cpuUsageInterval = 1ms;
    environment.timings.scheduleTickInterval = 30ms;
    environment.timings.selfTestInterval = 600ms;
    const auto start = std::chrono::system_clock::now();
    const auto started = std::chrono::steady_clock::now();
    environment.clock.wallNow = [=] {
        return start + (std::chrono::steady_clock::now() - started) * 1000;
    };
    constexpr std::size_t hourOfTimerEvents = 3600 + 120 + 6;
    for (auto _ : state) {
        MiningSessionModel model(Preferences(dir.filePath("prefs.ini")), noBus(), noBus(),
                                 environment);
        model.setScheduleEnabled(true);
        application()->watched = &model;
        application()->tickMicroseconds.clear();
        while (application()->tickMicroseconds.size() < hourOfTimerEvents) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        application()->watched = nullptr;
        state.counters["timer_events"] = double(application()->tickMicroseconds.size());
        state.counters["rss_MiB"] = corvanta::bench::residentMiB();
        state.counters["log_lines"] = model.eventLog()->count();
    }
}
BENCHMARK(IdleHour)->Iterations(1)->Unit(benchmark::kSecond);

void IdleMinute(benchmark::State& state) {
    const QTemporaryDir dir;
    for (auto _ : state) {
        MiningSessionModel model(Preferences(dir.filePath("prefs.ini")), noBus(), noBus(),
                                 environmentIn(dir));
        runFor(60s);
        state.counters["rss_MiB"] = corvanta::bench::residentMiB();
    }
}
BENCHMARK(IdleMinute)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvanta

int main(int argc, char** argv) {
    corvanta::TimingApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
