// A session that starts while something already holds the miner paused: the status and the
// pause caption name the cause from the first decision, in every language, as they do after a
// change.
#include <QScopeGuard>

#include "Dashboard/DashboardRules.h"
#include "LanguageScope.h"
#include "SessionNodeHarness.h"
#include "corvanta/mining/CPUEngine.h"
#include "corvanta/mining/GovernorEvent.h"

namespace corvanta::testing {
namespace {

namespace R = DashboardRules;

// A machine whose readings keep the governor waiting until the test lets them through: its first
// verdict comes only after the loop has handed its first job to the engine.
class LateSystemState final : public SystemStateSource {
  public:
    void answer() {
        std::lock_guard lock(mutex_);
        answering_ = true;
        changed_.notify_all();
    }
    ThermalState currentThermalState() override {
        waitForAnswer();
        return ThermalState::nominal;
    }
    PowerSourceState currentPowerSourceState() override {
        waitForAnswer();
        return PowerSourceState::ac;
    }
    double currentLoadAverage() override {
        waitForAnswer();
        return 0;
    }

  private:
    void waitForAnswer() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return answering_; });
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool answering_ = false;
};

// Watched at the engine: a start inside an off slot hashes nothing and finds nothing, even when
// the governor's verdict comes after the product's loop has its first job, with an empty history
// and with one that holds blocks.
TEST_F(SessionNodeTest, AStartInsideAnOffSlotHashesNothingEvenBeforeTheGovernorAnswers) {
    const auto historyFile = harness.historyFile(BitcoinNetwork::regtest);
    const auto held = [&] { return MiningHistoryStore(historyFile).summary(0).count; };
    auto& session = harness.environment.session;
    for (const bool withBlocks : {false, true}) {
        SCOPED_TRACE(withBlocks ? "a history with blocks" : "an empty history");
        if (withBlocks) {
            session.governorState = harness.thermal;
            session.makeMiner = {};
            auto& m = makeModel();
            m.setScheduleEnabled(false);
            m.start();
            ASSERT_TRUE(waitUntil([&] { return held() >= 2; }, 60'000))
                << logMessages(m).join("\n").toStdString();
            m.stop();
            ASSERT_TRUE(waitFor(Kind::idle));
            model.reset();
        }
        // A block the stop caught between its finding and its record waits in this folder; the
        // next start submits and records it, hashing nothing for it.
        const auto waiting = [&] {
            const auto folder =
                harness.dir.path() / "support" / "rejected-blocks" / "regtest" / "pending";
            std::error_code error;
            std::size_t count = 0;
            for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
                count += entry.path().filename().string().starts_with("pending-") ? 1 : 0;
            }
            return count;
        };
        const auto before = held();
        const auto waitingBefore = waiting();
        const auto late = std::make_shared<LateSystemState>();
        // Never leaves the governor's lane waiting, whatever fails below.
        const auto answered = qScopeGuard([late] { late->answer(); });
        session.governorState = late;
        std::mutex engineMutex;
        std::shared_ptr<CPUEngine> engine;
        session.makeMiner = [&](const SessionMinerParts& parts) {
            std::lock_guard lock(engineMutex);
            engine = parts.engine;
            return makeCoordinatorMiner(parts);
        };
        auto& m = makeModel();
        m.setScheduleMode(ScheduledMode::off, 0, 143);
        m.setScheduleEnabled(true);
        m.start();
        // The first job is in the engine's hands while the governor has not answered yet.
        ASSERT_TRUE(
            waitUntil([&] { return !logMessages(m).filter("New work loaded").isEmpty(); }, 60'000))
            << logMessages(m).join("\n").toStdString();
        EXPECT_FALSE(m.governorPaused());
        late->answer();
        ASSERT_TRUE(waitUntil([&] { return m.governorPaused(); }));
        EXPECT_EQ(m.governorPauseReason().toStdString(), schedulePauseMessage);
        m.stop();
        ASSERT_TRUE(waitFor(Kind::idle));
        {
            std::lock_guard lock(engineMutex);
            ASSERT_NE(engine, nullptr);
            EXPECT_EQ(engine->sweptNonceCount(), 0u);
            EXPECT_FALSE(engine->bestAttempt().has_value());
        }
        EXPECT_EQ(m.sessionHashes(), 0u);
        EXPECT_EQ(held() + waiting(), before + waitingBefore);
        EXPECT_EQ(std::size_t(logMessages(m).filter("BLOCK FOUND").size()) + waiting(),
                  waitingBefore)
            << logMessages(m).join("\n").toStdString();
        model.reset();
        session.makeMiner = {};
    }
}

TEST_F(SessionNodeTest, AStartInsideAnOffSlotIsTheSchedulesPauseInEveryLanguage) {
    for (const AppLanguage language : kAllAppLanguages) {
        const LanguageScope scope(language);
        SCOPED_TRACE(Localization::shared()
                         .string(QStringLiteral("En pause par le planning"))
                         .toStdString());
        useScriptedMiner();
        auto& m = makeModel();
        m.setScheduleMode(ScheduledMode::off, 0, 143);
        m.setScheduleEnabled(true);
        m.start();
        ASSERT_TRUE(waitFor(Kind::mining));
        ASSERT_TRUE(waitUntil([&] { return m.governorPaused(); }));
        EXPECT_EQ(m.governorPauseReason().toStdString(), schedulePauseMessage);
        const R::Pause pause =
            R::pauseOf(m.manuallyPaused(), m.governorPaused(), m.governorPauseReason());
        EXPECT_EQ(pause, R::Pause::schedule);
        EXPECT_EQ(R::statusLabel(R::Run::mining, QString(), pause),
                  Localization::shared().string(QStringLiteral("En pause par le planning")));
        EXPECT_EQ(R::pauseCaption(pause, m.governorPauseReason()),
                  Localization::shared().string(QStringLiteral("Minage en pause par le planning")));
        m.stop();
        ASSERT_TRUE(waitFor(Kind::idle));
    }
}

TEST_F(SessionNodeTest, AStartOnAManualPauseKeepsItsOwnReason) {
    useScriptedMiner();
    auto& m = makeModel();
    m.setManuallyPaused(true);
    m.start();
    ASSERT_TRUE(waitFor(Kind::mining));
    ASSERT_TRUE(waitUntil([&] { return m.governorPaused(); }));
    EXPECT_EQ(m.governorPauseReason(), QStringLiteral("Mining en pause — demandé"));
    m.stop();
    ASSERT_TRUE(waitFor(Kind::idle));
}

}  // namespace
}  // namespace corvanta::testing
