#pragma once

// A session model driving a real node program (see nodeProgram()): the shared node harness's
// launcher with its own digest as the expected release (so the integrity check runs for real),
// ports reserved for the test, networking off, short periods, and fake notification and logind
// services on a private bus.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "AppTestEnvironment.h"
#include "FakeServices.h"
#include "NodeHarness.h"
#include "PrivateBus.h"
#include "SessionHarness.h"
#include "Localization/Localization.h"
#include "Session/MiningSessionModel.h"
#include "Session/SessionMiner.h"
#include "corvanta/loop/MiningHistoryStore.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta::testing {

using Kind = MiningSessionModel::RunStateKind;

// A mining loop that plays the events it is given, then waits for its stop; `failWith` makes
// the run end with that error instead.
class ScriptedMiner final : public SessionMiner {
  public:
    explicit ScriptedMiner(std::shared_ptr<MiningHistoryStore> history)
        : history_(std::move(history)) {}

    std::vector<MiningEvent> script;
    std::function<void()> failWith;
    std::atomic<int> runs = 0;
    std::atomic<bool> stopped = false;

    void run(MiningEventHandler onEvent) override {
        ++runs;
        {
            std::lock_guard lock(mutex_);
            handler_ = onEvent;
        }
        for (const auto& event : script) onEvent(event);
        if (failWith) failWith();
        std::unique_lock lock(mutex_);
        stopChanged_.wait(lock, [this] { return stopped.load(); });
        handler_ = nullptr;
        throw Cancelled();
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        stopped = true;
        stopChanged_.notify_all();
    }
    std::shared_ptr<MiningHistoryStore> historyStore() const override { return history_; }

    // Whether the run has set the handler that send() passes events to: the session says it mines
    // once the loop is started, which may be before its run has begun.
    bool running() {
        std::lock_guard lock(mutex_);
        return static_cast<bool>(handler_);
    }
    // Sends one more event while running; false before the run has begun and once it has ended.
    bool send(const MiningEvent& event) {
        MiningEventHandler handler;
        {
            std::lock_guard lock(mutex_);
            handler = handler_;
        }
        if (!handler) return false;
        handler(event);
        return true;
    }

  private:
    std::shared_ptr<MiningHistoryStore> history_;
    std::mutex mutex_;
    std::condition_variable stopChanged_;
    MiningEventHandler handler_;
};

class SessionNodeTest : public NodeHarness {
  public:
    void SetUp() override {
        NodeHarness::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(notifications.serve(bus.connect()));
        ASSERT_TRUE(logind.serve(bus.connect()));
        const ReservedPorts& ports = ports_.emplace_back(3);
        auto& session = harness.environment.session;
        session.nodeProgram = [launcher = launcher_] { return launcher; };
        session.expectedRelease = [](const std::filesystem::path& program) {
            return std::optional(BitcoindRelease{"31.1", BinaryIntegrity::sha256Hex(program)});
        };
        session.dataDirectory = [root = dataDirectory()](BitcoinNetwork network) {
            return root / std::string(rawValue(network));
        };
        session.supportDirectory = [root = harness.dir.path()] { return root / "support"; };
        session.rpcPort = ports.first();
        session.p2pPort = ports.first() + 1;
        session.networkingEnabled = false;
        session.nodeTimings = fastTimings();
        session.governorState = harness.thermal;
        using namespace std::chrono_literals;
        session.timings.syncPollInterval = 50ms;
        session.timings.statusInterval = 100ms;
        session.timings.networkHashInterval = 200ms;
        session.timings.hashRateInterval = 100ms;
        session.timings.earningsInterval = 1s;
        session.timings.historyInterval = 200ms;
        session.timings.governorPollInterval = 50ms;
        harness.environment.performanceCoreCount = 2;
    }

    void TearDown() override {
        model.reset();
        NodeHarness::TearDown();
    }

    // A scripted loop for every session from now on; the last one built is `miner`.
    void useScriptedMiner(std::vector<MiningEvent> script = {},
                          std::function<void()> failWith = {}) {
        harness.environment.session.makeMiner = [this, script,
                                                 failWith](const SessionMinerParts& parts) {
            auto built = std::make_shared<ScriptedMiner>(
                std::make_shared<MiningHistoryStore>(parts.historyFile));
            built->script = script;
            built->failWith = failWith;
            std::lock_guard lock(minerMutex);
            miner = built;
            return built;
        };
    }
    std::shared_ptr<ScriptedMiner> scripted() {
        std::lock_guard lock(minerMutex);
        return miner;
    }
    // The scripted loop once its run takes events (what is sent before would be lost); null when
    // no run begins.
    std::shared_ptr<ScriptedMiner> runningMiner() {
        const bool running = waitUntil([&] {
            const auto current = scripted();
            return current && current->running();
        });
        return running ? scripted() : nullptr;
    }

    MiningSessionModel& makeModel(BitcoinNetwork network = BitcoinNetwork::regtest,
                                  const QString& payout = QString()) {
        model = harness.make(bus.connect(), bus.connect());
        model->setSelectedNetwork(network);
        model->setPayoutAddressInput(payout);
        QObject::connect(model.get(), &MiningSessionModel::runStateChanged, model.get(),
                         [this] { states.push_back(model->runState().kind); });
        return *model;
    }

    bool waitFor(Kind kind, int milliseconds = 60'000) {
        return waitUntil([&] { return model->runState().kind == kind; }, milliseconds);
    }
    int criticalErrors() const {
        int count = 0;
        for (const auto& posted : notifications.received) {
            if (posted.summary == criticalTitle()) ++count;
        }
        return count;
    }
    static QString criticalTitle() {
        return Localization::shared().string(QStringLiteral("Erreur critique \u2014 Corvanta"));
    }
    bool nodeLaunched() const {
        return std::filesystem::exists(pidFile()) && lastPid(pidFile()) > 0;
    }
    void control(std::string_view line) { sendLine(controlSocket(), line); }

    PrivateBus bus;
    FakeNotifications notifications;
    FakeLogind logind;
    SessionHarness harness;
    std::unique_ptr<MiningSessionModel> model;
    std::vector<Kind> states;
    std::mutex minerMutex;
    std::shared_ptr<ScriptedMiner> miner;
};

}  // namespace corvanta::testing
