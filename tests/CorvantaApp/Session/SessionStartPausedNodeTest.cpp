// A session that starts while something already holds the miner paused: the status and the
// pause caption name the cause from the first decision, in every language, as they do after a
// change.
#include "Dashboard/DashboardRules.h"
#include "LanguageScope.h"
#include "SessionNodeHarness.h"
#include "corvanta/mining/GovernorEvent.h"

namespace corvanta::testing {
namespace {

namespace R = DashboardRules;

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
