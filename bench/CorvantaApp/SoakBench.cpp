// A long run of the real program: mining on regtest with the node it ships, power mode Eco, off
// screen, in a fresh home. Not for CI: it lasts CORVANTA_SOAK_SECONDS (1800 by default).
//
//   CorvantaSoakBench                    the program built beside it
//   CORVANTA_SOAK_PROGRAM=path ...       another build of it (an older one, to compare)
//   CORVANTA_SOAK_WARMUP_SECONDS (300)   from the first block found, the time memory may settle
//   CORVANTA_SOAK_NODE_CHECKS=1          keeps the node's own regtest consistency checks
//
// On regtest the node checks its whole block index after every block by default, so each block
// costs the node time in proportion to the chain's height (about 0.5 ms more per 1,000 blocks on
// the machine this was written on, whoever mines them): within half an hour that alone slows the
// rate by a fifth. The soak measures the program, not that check: it gives the node a
// configuration file in its data folder that turns the check off, as it is on every other network.
//
// Every minute a line on stderr: minutes since the first block, blocks found, blocks in that
// minute, the program's resident memory (all of it, and its anonymous part) and its GUI thread's
// share of one core. The counters:
// resident memory at the first block, after warm-up and at the end, the growth after warm-up,
// blocks found per minute over the first and the last two minutes, and the GUI thread's busy
// share after warm-up.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FreshHome.h"
#include "corvanta/loop/MiningHistoryStore.h"

namespace corvanta {
namespace {

struct Sample {
    double seconds = 0;  // since the first block was found
    std::size_t blocks = 0;
    double residentMiB = 0;
    double anonymousMiB = 0;  // the resident memory that is the program's own, not mapped files
    double guiCpuSeconds = 0;
};

double statusMiB(qint64 pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    }
    return 0;
}

// User and system time of the process's main thread, the one that runs the interface.
double mainThreadCpuSeconds(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto end = text.rfind(')');  // the name may hold blanks
    if (end == std::string::npos) return 0;
    std::istringstream fields(text.substr(end + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value;) values.push_back(value);
    if (values.size() < 13) return 0;
    // Fields 14 and 15 of the line: the third field is the first after the name.
    return double(std::stoull(values[11]) + std::stoull(values[12])) / double(sysconf(_SC_CLK_TCK));
}

std::size_t blocksRecorded(const std::filesystem::path& history) {
    if (!std::filesystem::exists(history)) return 0;
    return MiningHistoryStore(history).summary(0).count;
}

int environmentSeconds(const char* name, int fallback) {
    return qEnvironmentVariableIsSet(name) ? std::max(1, qEnvironmentVariableIntValue(name))
                                           : fallback;
}

double perMinute(const Sample& from, const Sample& to) {
    return to.seconds > from.seconds
               ? double(to.blocks - from.blocks) * 60 / (to.seconds - from.seconds)
               : 0;
}

// The sample closest to `seconds` after the first block.
const Sample& at(const std::vector<Sample>& samples, double seconds) {
    const Sample* best = &samples.front();
    for (const auto& sample : samples) {
        if (std::abs(sample.seconds - seconds) < std::abs(best->seconds - seconds)) best = &sample;
    }
    return *best;
}

void Soak(benchmark::State& state) {
    const int seconds = environmentSeconds("CORVANTA_SOAK_SECONDS", 1800);
    const int warmup = environmentSeconds("CORVANTA_SOAK_WARMUP_SECONDS", 300);
    const QString program = qEnvironmentVariableIsSet("CORVANTA_SOAK_PROGRAM")
                                ? qEnvironmentVariable("CORVANTA_SOAK_PROGRAM")
                                : QStringLiteral(CORVANTA_PROGRAM);
    for (auto _ : state) {
        QTemporaryDir root;
        QProcessEnvironment environment = bench::freshHome(root.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // As a user who finished the onboarding leaves it: mining starts with the program.
        QDir(root.path()).mkpath("config/Corvanta");
        std::ofstream(root.filePath("config/Corvanta/Corvanta.conf").toStdString())
            << "[General]\nrigwell.onboardingCompleted=true\nrigwell.selectedNetwork=regtest\n"
               "rigwell.powerMode=eco\n";
        const std::filesystem::path history =
            root.filePath("support/history/regtest.json").toStdString();
        if (!qEnvironmentVariableIsSet("CORVANTA_SOAK_NODE_CHECKS")) {
            QDir(root.path()).mkpath("support/node/regtest");
            std::ofstream(root.filePath("support/node/regtest/bitcoin.conf").toStdString())
                << "[regtest]\ncheckblockindex=0\n";
        }

        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        app.setStandardOutputFile(QProcess::nullDevice());
        app.start(program, {});
        if (!app.waitForStarted(30'000)) return state.SkipWithError("the program did not start");
        const qint64 pid = app.processId();

        // The clock starts with the first block: node start-up and sync are not the soak.
        QElapsedTimer waited;
        waited.start();
        while (blocksRecorded(history) == 0) {
            if (app.state() == QProcess::NotRunning || waited.elapsed() > 300'000) {
                app.kill();
                app.waitForFinished();
                return state.SkipWithError("no block found within five minutes");
            }
            QThread::msleep(500);
        }
        QElapsedTimer clock;
        clock.start();
        std::vector<Sample> samples;
        auto sample = [&] {
            samples.push_back({clock.elapsed() / 1000.0, blocksRecorded(history),
                               statusMiB(pid, "VmRSS:"), statusMiB(pid, "RssAnon:"),
                               mainThreadCpuSeconds(pid)});
        };
        sample();
        std::fprintf(stderr, "minute  blocks  in minute  RSS MiB  anonymous MiB  GUI thread %%\n");
        int minute = 0;
        while (clock.elapsed() < qint64(seconds) * 1000 && app.state() == QProcess::Running) {
            QThread::msleep(5'000);
            sample();
            if (samples.back().seconds >= (minute + 1) * 60.0) {
                ++minute;
                const auto& last = samples.back();
                const auto& before = at(samples, last.seconds - 60);
                std::fprintf(stderr, "%6d  %6zu  %9zu  %7.1f  %13.1f  %12.1f\n", minute,
                             last.blocks, last.blocks - before.blocks, last.residentMiB,
                             last.anonymousMiB,
                             100 * (last.guiCpuSeconds - before.guiCpuSeconds) /
                                 (last.seconds - before.seconds));
            }
        }
        const bool ranThrough = app.state() == QProcess::Running;
        app.terminate();  // quits after the session has shut down cleanly
        if (!app.waitForFinished(180'000)) {
            app.kill();
            app.waitForFinished();
        }
        if (!ranThrough) return state.SkipWithError("the program ended before the soak did");

        const auto& first = samples.front();
        const auto& warm = at(samples, warmup);
        const auto& last = samples.back();
        state.counters["rss_start_MiB"] = first.residentMiB;
        state.counters["rss_after_warmup_MiB"] = warm.residentMiB;
        state.counters["rss_end_MiB"] = last.residentMiB;
        state.counters["rss_growth_after_warmup_MiB"] = last.residentMiB - warm.residentMiB;
        // Mapped files (libraries, the QML cache) leave and return with the machine's memory
        // pressure; the anonymous part is what the program itself holds.
        state.counters["anon_after_warmup_MiB"] = warm.anonymousMiB;
        state.counters["anon_growth_after_warmup_MiB"] = last.anonymousMiB - warm.anonymousMiB;
        state.counters["blocks_found"] = double(last.blocks);
        state.counters["blocks_per_min_start"] = perMinute(first, at(samples, 120));
        state.counters["blocks_per_min_end"] = perMinute(at(samples, last.seconds - 120), last);
        state.counters["gui_thread_busy_pct"] =
            100 * (last.guiCpuSeconds - warm.guiCpuSeconds) / (last.seconds - warm.seconds);
    }
}
BENCHMARK(Soak)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvanta

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
