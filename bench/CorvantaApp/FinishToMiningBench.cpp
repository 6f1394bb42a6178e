// The first run's last step on regtest: from "Terminer" (the session's start) to the run state
// mining, with the node this build ships, a fresh support folder and a fresh profile. The node
// takes the network's standard ports, so run it where no other regtest node listens.
//
//   CorvantaFinishBench
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <iostream>

#include "corvanta/app/EventLogModel.h"
#include "corvanta/app/MiningSessionModel.h"

namespace corvanta {
namespace {

QDBusConnection noBus() {
    const QString name = QStringLiteral("finish-bench-no-bus");
    QDBusConnection bus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), name);
    QDBusConnection::disconnectFromBus(name);
    return bus;
}

void FinishToMining(benchmark::State& state) {
    for (auto _ : state) {
        const QTemporaryDir dir;
        // A first run: nothing of an earlier profile or chain.
        qputenv("CORVANTA_SUPPORT_DIR", dir.filePath("support").toUtf8());
        SessionEnvironment environment;
        const std::filesystem::path root = dir.path().toStdString();
        environment.snapshotContainer = root / "group";
        MiningSessionModel model(Preferences(dir.filePath("prefs.ini")), noBus(), noBus(),
                                 environment);
        model.setSelectedNetworkName(QStringLiteral("regtest"));

        QElapsedTimer timer;
        double seconds = 0;
        QObject::connect(&model, &MiningSessionModel::runStateChanged, [&] {
            const auto kind = model.runStateKind();
            if (kind == MiningSessionModel::RunStateKind::mining && seconds == 0) {
                seconds = double(timer.nsecsElapsed()) / 1e9;
                QCoreApplication::quit();
            } else if (kind == MiningSessionModel::RunStateKind::failed) {
                std::cerr << "failed: " << model.failureMessage().toStdString() << "\n";
                QCoreApplication::quit();
            }
        });
        QTimer::singleShot(180'000, QCoreApplication::instance(), &QCoreApplication::quit);
        timer.start();
        model.start();
        QCoreApplication::exec();

        QObject::connect(&model, &MiningSessionModel::terminationReady,
                         QCoreApplication::instance(), &QCoreApplication::quit);
        model.shutdownForTermination();
        QCoreApplication::exec();
        if (seconds == 0) {
            // Why, from the session's own log.
            for (const auto& entry : model.eventLog()->entries()) {
                std::cerr << entry.message.toStdString() << "\n";
            }
            state.SkipWithError("the session never reached mining");
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(FinishToMining)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvanta

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
