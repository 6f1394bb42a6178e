#pragma once

#include <QDBusConnection>
#include <QTimeZone>

#include <atomic>
#include <chrono>
#include <memory>

#include "AppTestEnvironment.h"
#include "PrivateBus.h"
#include "TestSupport.h"
#include "Session/MiningSessionModel.h"

namespace corvanta::testing {

// A system state whose heat the test sets.
class FakeSystemState final : public SystemStateSource {
  public:
    std::atomic<ThermalState> thermal{ThermalState::nominal};
    ThermalState currentThermalState() override { return thermal.load(); }
    PowerSourceState currentPowerSourceState() override { return PowerSourceState::ac; }
    double currentLoadAverage() override { return 0; }
};

// A session model on a folder of its own: preferences, ledger, history and the widgets' file
// there, a wall clock the test sets (in milliseconds since 1970), a fixed time zone, short periods
// and a self-test that passes unless told otherwise.
class SessionHarness {
  public:
    SessionHarness() : thermal(std::make_shared<FakeSystemState>()) {
        environment.timings.cpuUsageInterval = std::chrono::milliseconds(10);
        environment.timings.scheduleTickInterval = std::chrono::milliseconds(10);
        environment.timings.selfTestInterval = std::chrono::hours(1);
        environment.clock.wallNow = [ms = wallMs] {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms->load()));
        };
        environment.clock.timeZone = QTimeZone("Europe/Paris");
        environment.selfTest = [] { return EngineSelfTest::Verdict(EngineSelfTest::Passed{}); };
        environment.systemState = thermal;
        environment.performanceCoreCount = 9;
        environment.proofLogFile = [root = dir.path()](BitcoinNetwork network) {
            return root / "proof" / (std::string(rawValue(network)) + ".json");
        };
        environment.historyFile = [root = dir.path()](BitcoinNetwork network) {
            return root / "history" / (std::string(rawValue(network)) + ".json");
        };
        environment.snapshotContainer = container();
        setWall(QDateTime(QDate(2026, 6, 15), QTime(12, 0), QTimeZone("Europe/Paris")));
    }

    TempDir dir;
    std::shared_ptr<std::atomic<std::int64_t>> wallMs =
        std::make_shared<std::atomic<std::int64_t>>(0);
    std::shared_ptr<FakeSystemState> thermal;
    SessionEnvironment environment;

    QString preferencesFile() const {
        return QString::fromStdString((dir.path() / "prefs.ini").string());
    }
    Preferences preferences() const { return Preferences(preferencesFile()); }
    std::filesystem::path container() const { return dir.path() / "group"; }
    std::filesystem::path proofFile(BitcoinNetwork network = BitcoinNetwork::mainnet) const {
        return environment.proofLogFile(network);
    }
    std::filesystem::path historyFile(BitcoinNetwork network = BitcoinNetwork::mainnet) const {
        return environment.historyFile(network);
    }

    void setWall(const QDateTime& moment) { wallMs->store(moment.toMSecsSinceEpoch()); }
    void advance(std::chrono::milliseconds by) { wallMs->fetch_add(by.count()); }
    std::chrono::system_clock::time_point wall() const { return environment.clock.wallNow(); }

    // A model on this folder; with no buses it notifies nobody and takes no lock.
    std::unique_ptr<MiningSessionModel> make(QDBusConnection sessionBus = disconnectedBus(),
                                             QDBusConnection systemBus = disconnectedBus()) const {
        return std::make_unique<MiningSessionModel>(preferences(), sessionBus, systemBus,
                                                    environment);
    }
};

inline MiningSessionModel::RunState runState(MiningSessionModel::RunStateKind kind) {
    MiningSessionModel::RunState state;
    state.kind = kind;
    return state;
}

// The messages of the model's event log, oldest first.
inline QStringList logMessages(MiningSessionModel& model) {
    QStringList messages;
    for (const auto& entry : model.eventLog()->entries()) messages << entry.message;
    return messages;
}

}  // namespace corvanta::testing
