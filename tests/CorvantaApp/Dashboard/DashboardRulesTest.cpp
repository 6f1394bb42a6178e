#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Dashboard/Confetti.h"
#include "Dashboard/DashboardRules.h"
#include "LanguageScope.h"
#include "corvanta/mining/GovernorEvent.h"

namespace corvanta {
namespace {

namespace R = DashboardRules;
using testing::LanguageScope;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(DashboardGauges, FractionsPercentsAndClampsNeverLetNaNThrough) {
    struct Case {
        double in;
        int percent;
        double arc;
        double rate;
    };
    const Case cases[] = {
        {0.625, 63, 0.625, 0.625 / 320},  // 62.5 rounds away from zero
        {0.375, 38, 0.375, 0.375 / 320},
        {1.02, 100, 1, 1.02 / 320},
        {0, 0, 0.0001, 0},
        {-0.2, 0, 0.0001, 0},
        {kNaN, 0, 1, 0},  // NaN: no percent, the whole arc, an empty gauge
        {kInf, 100, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(R::percent(c.in), c.percent);
        EXPECT_DOUBLE_EQ(R::arcClamp(c.in), c.arc);
        EXPECT_DOUBLE_EQ(R::hashRateFraction(c.in), c.rate);
    }
    EXPECT_DOUBLE_EQ(R::hashRateFraction(320), 1);
    EXPECT_DOUBLE_EQ(R::hashRateFraction(412.37), 1);
    EXPECT_NEAR(R::sweepPeriod(412.37), 10.415, 0.001);
    EXPECT_NEAR(R::sweepPeriod(320), 13.42, 0.005);
    for (const double none : {0.0, -1.0, kNaN}) EXPECT_EQ(R::sweepPeriod(none), kInf);
}

TEST(DashboardGauges, PhaseFollowsItsAnchorAndKeepsTheSign) {
    EXPECT_NEAR(R::sweepPhase(0.3, 25, 10), 0.8, 1e-12);
    EXPECT_NEAR(R::sweepAngle(R::sweepPhase(0.3, 25, 10)), -36, 1e-9);
    EXPECT_NEAR(R::sweepAngle(0), -180, 1e-12);
    EXPECT_NEAR(R::sweepAngle(0.5), -90, 1e-12);
    // A clock set back: the sum turns negative and keeps its sign.
    const double back = R::sweepPhase(0.1, -6, 10);
    EXPECT_NEAR(back, -0.5, 1e-12);
    EXPECT_GT(back, -1);
    // Wrapping from just below 1 back to 0.
    EXPECT_NEAR(R::sweepPhase(0, 9.99, 10), 0.999, 1e-9);
    EXPECT_NEAR(R::sweepPhase(0, 10.01, 10), 0.001, 1e-9);
    for (const double period : {kInf, 0.0, -3.0, kNaN}) {
        EXPECT_EQ(R::sweepPhase(0.42, 100, period), 0.42);
        EXPECT_FALSE(R::sweepDotShown(true, false, period));
    }
    EXPECT_TRUE(R::sweepDotShown(true, false, 10));
    EXPECT_FALSE(R::sweepDotShown(false, false, 10));
    EXPECT_FALSE(R::sweepDotShown(true, true, 10));
}

TEST(DashboardTexts, APausedSessionSaysWhoPausedIt) {
    LanguageScope fr(AppLanguage::french);
    const QString schedule =
        QString::fromUtf8(schedulePauseMessage.data(), qsizetype(schedulePauseMessage.size()));
    const QString battery = QStringLiteral("Mining en pause — sur batterie");
    EXPECT_EQ(R::pauseOf(false, false, {}), R::Pause::none);
    // The user's pause is what the user did, whatever else holds the governor.
    EXPECT_EQ(R::pauseOf(true, true, battery), R::Pause::manual);
    EXPECT_EQ(R::pauseOf(false, true, schedule), R::Pause::schedule);
    EXPECT_EQ(R::pauseOf(false, true, battery), R::Pause::governor);
    EXPECT_EQ(R::pauseOf(false, true, {}), R::Pause::governor);

    EXPECT_EQ(R::statusLabel(R::Run::mining, {}, R::Pause::manual), "En pause");
    EXPECT_EQ(R::statusLabel(R::Run::mining, {}, R::Pause::governor), "En pause");
    EXPECT_EQ(R::statusLabel(R::Run::mining, {}, R::Pause::schedule), "En pause par le planning");
    // A pause outside mining changes nothing: the run state's own text stands.
    EXPECT_EQ(R::statusLabel(R::Run::stopping, {}, R::Pause::manual), "Arrêt en cours…");
    EXPECT_EQ(R::statusLabel(R::Run::failed, "x", R::Pause::schedule), "x");

    EXPECT_EQ(R::pauseCaption(R::Pause::none, {}), "");
    EXPECT_EQ(R::pauseCaption(R::Pause::manual, {}), "Minage en pause — le nœud reste debout");
    EXPECT_EQ(R::pauseCaption(R::Pause::schedule, schedule), "Minage en pause par le planning");
    EXPECT_EQ(R::pauseCaption(R::Pause::governor, {}), "Minage en pause — voir CPU");
    {
        LanguageScope de(AppLanguage::german);
        EXPECT_EQ(R::pauseCaption(R::Pause::governor, battery), "Mining pausiert — im Akkubetrieb");
        EXPECT_EQ(R::statusLabel(R::Run::mining, {}, R::Pause::schedule), "Pause laut Zeitplan");
    }
}

TEST(DashboardTexts, StatusUptimeMachineAndSync) {
    LanguageScope fr(AppLanguage::french);
    EXPECT_EQ(R::statusLabel(R::Run::idle, {}), "Minage arrêté");
    EXPECT_EQ(R::statusLabel(R::Run::mining, {}), "Minage en cours");
    EXPECT_EQ(R::statusLabel(R::Run::failed, "<b>disque</b> plein"), "<b>disque</b> plein");
    EXPECT_EQ(R::lacksPeers(std::nullopt, 1000), false);
    EXPECT_EQ(R::lacksPeers(971, 1000), false);
    EXPECT_EQ(R::lacksPeers(970, 1000), true);
    EXPECT_EQ(R::uptimeLine(1000, 1000 + 2 * 3600 + 5 * 60 + 30), "depuis 2h 05m");
    EXPECT_EQ(R::uptimeLine(1000, 1059), "depuis 0h 00m");
    EXPECT_EQ(R::uptimeLine(1000, 900), "depuis —");
    EXPECT_EQ(R::machineBusyLine(0.625), "Machine 63 %");
    EXPECT_EQ(R::machineFreeLine(0.625), "libre 38 %");
    EXPECT_EQ(R::machineBusyLine(1.02), "Machine 100 %");
    EXPECT_EQ(R::machineFreeLine(1.02), "libre 0 %");
    EXPECT_EQ(R::machineFreeLine(kNaN), "libre 0 %");
    EXPECT_EQ(R::machineValue(0.004), "0 %");
    EXPECT_EQ(R::machineValue(std::nullopt), "—");

    EXPECT_EQ(R::syncBarValue(0, 0), 0);
    EXPECT_EQ(R::syncBarValue(500, 500), 1);
    EXPECT_EQ(R::syncBarValue(900, 500), 1);
    EXPECT_EQ(R::syncBarValue(-5, 500), 0);
    EXPECT_EQ(R::syncPercentText(99.96), "100.0 %");
    EXPECT_EQ(R::syncPercentText(37.44), "37.4 %");
    EXPECT_EQ(R::syncCountText(0, 0), "0 / 0 blocs");
    EXPECT_EQ(R::syncCountText(1234, 845000), "1,234 / 845,000 blocs");
}

TEST(DashboardPicker, LitModeAndPauseOverRunStatesAndPauses) {
    using R::Run;
    struct Case {
        Run run;
        bool manual;
        bool governor;
        std::optional<int> workers;
        const char* lit;
        bool pauseLit;
    };
    const Case cases[] = {
        {Run::mining, false, false, 7, "balanced", false},  // 7 ≥ ⌊2·10/3⌋
        {Run::mining, false, false, 3, "eco", false},
        {Run::mining, false, false, 10, "max", false},
        {Run::mining, false, false, std::nullopt, "balanced", false},  // no count yet
        {Run::mining, true, false, 10, "", true},
        {Run::mining, false, true, 10, "", true},
        {Run::idle, false, false, 3, "balanced", false},  // idle: the request, whatever ran
        {Run::failed, false, true, 3, "", false},         // a pause wins over idle or failed
        {Run::syncing, true, false, 3, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.run) * 100 + c.manual * 10 + c.governor);
        const R::PickerInputs in{c.run, "balanced", c.manual, c.governor, c.workers, 10};
        EXPECT_EQ(R::litMode(in), QString::fromUtf8(c.lit));
        EXPECT_EQ(R::pauseIsLit(in), c.pauseLit);
    }
    EXPECT_EQ(R::litMode({Run::mining, "eco", false, false, 1, 1}), "max");  // one core
    LanguageScope fr(AppLanguage::french);
    EXPECT_EQ(R::throttleCaption(true, 3, 10), "Régime réel : 3 workers sur 10");
    EXPECT_EQ(R::throttleCaption(true, std::nullopt, 10), "");
    EXPECT_EQ(R::throttleCaption(false, 3, 10), "");
}

TEST(DashboardGrid, ColumnsAndRowsFromPoints) {
    const double width = 144 * 5;
    EXPECT_EQ(R::gridColumn(0, width), 0);
    EXPECT_EQ(R::gridColumn(4.99, width), 0);
    EXPECT_EQ(R::gridColumn(5, width), 1);
    EXPECT_EQ(R::gridColumn(-40, width), 0);
    EXPECT_EQ(R::gridColumn(width + 40, width), 143);
    EXPECT_EQ(R::gridColumn(width, width), 143);
    EXPECT_EQ(R::gridColumn(kNaN, width), 0);
    for (const double w : {0.0, -10.0, kNaN}) EXPECT_EQ(R::gridColumn(300, w), 0);

    EXPECT_EQ(R::gridRowMode(18, 17, 3), "smart");  // the gap under a row is the row's
    EXPECT_EQ(R::gridRowMode(20, 17, 3), "max");
    EXPECT_EQ(R::gridRowMode(-5, 17, 3), "smart");
    EXPECT_EQ(R::gridRowMode(79, 17, 3), "eco");
    EXPECT_EQ(R::gridRowMode(80, 17, 3), "off");
    EXPECT_EQ(R::gridRowMode(500, 17, 3), "off");
    EXPECT_EQ(R::gridRowMode(kNaN, 17, 3), "smart");

    EXPECT_EQ(R::hourLabelCentre(0, 600), 11);
    EXPECT_EQ(R::hourLabelCentre(22, 600), 550);
    EXPECT_EQ(R::hourLabelCentre(22, 24), 13);
}

TEST(DashboardPulse, ElapsedBarAndDraws) {
    LanguageScope fr(AppLanguage::french);
    const double now = 1'700'000'000;
    struct Case {
        std::optional<double> ago;
        const char* text;
        double bar;
    };
    const Case cases[] = {
        {std::nullopt, "—", 0}, {0, "0m 00s", 0},     {59.9, "0m 59s", 59.9 / 1200},
        {600, "10m 00s", 0.5},  {4383, "73m 03s", 1}, {7505, "125m 05s", 1},
        {-30, "0m 00s", 0},  // a tip in the future
    };
    for (const auto& c : cases) {
        const auto tip = c.ago ? std::optional<double>(now - *c.ago) : std::nullopt;
        EXPECT_EQ(R::pulseElapsedText(tip, now), QString::fromUtf8(c.text));
        EXPECT_NEAR(R::pulseBarFraction(tip, now), c.bar, 1e-9);
    }
    EXPECT_EQ(R::drawsEntered(100, 105), 5);
    EXPECT_EQ(R::drawsEntered(110, 105), 0);  // start above the tip
    EXPECT_EQ(R::drawsEntered(std::nullopt, 105), 0);
    EXPECT_EQ(R::drawsEntered(100, std::nullopt), 0);  // stale status
    const auto max = std::numeric_limits<std::int64_t>::max();
    const auto min = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(R::drawsEntered(min, max), max);  // saturates instead of wrapping
    EXPECT_EQ(R::drawsEntered(max, min), 0);
    EXPECT_EQ(R::drawsCaption(0), "tirage entré depuis le début de cette session");
    EXPECT_EQ(R::drawsCaption(1), "tirage entré depuis le début de cette session");
    EXPECT_EQ(R::drawsCaption(2), "tirages entrés depuis le début de cette session");
}

TEST(DashboardGains, AmountSubtitleAgeAndReviewRule) {
    LanguageScope fr(AppLanguage::french);
    const R::EarningsFigures scanned{312'500'000, 0};
    EXPECT_EQ(R::gainsSats(scanned, true, 7), 312'500'000);
    EXPECT_EQ(R::gainsSats(scanned, false, 7), 7);
    EXPECT_EQ(R::gainsSats(std::nullopt, true, 7), 7);
    const auto max = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(R::gainsSats(R::EarningsFigures{max, 5}, true, 0), max);  // saturates
    EXPECT_EQ(R::blocksFoundSubtitle(0), "0 bloc trouvé");
    EXPECT_EQ(R::blocksFoundSubtitle(1), "1 bloc trouvé");
    EXPECT_EQ(R::blocksFoundSubtitle(2), "2 blocs trouvés");
    {
        // Every other language counts 0 as many: the widgets say the same.
        LanguageScope en(AppLanguage::english);
        EXPECT_EQ(R::blocksFoundSubtitle(0), "0 blocks found");
        EXPECT_EQ(R::blocksFoundSubtitle(1), "1 block found");
        LanguageScope de(AppLanguage::german);
        EXPECT_EQ(R::blocksFoundSubtitle(0), "0 Blöcke gefunden");
    }
    EXPECT_EQ(R::lastUpdateLabel(std::nullopt, 100), "");
    EXPECT_EQ(R::lastUpdateLabel(1000, 1045), "Dernière mise à jour : il y a 45 s");
    EXPECT_EQ(R::lastUpdateLabel(1000, 1359), "Dernière mise à jour : il y a 5 min");
    EXPECT_EQ(R::lastUpdateLabel(1000, 1000 + 9000), "Dernière mise à jour : il y a 2 h");
    EXPECT_EQ(R::lastUpdateLabel(1000, 900), "Dernière mise à jour : il y a 0 s");

    const double first = 1'600'000'000;
    R::ReviewInputs due{false, false, first, false, first + 86'400};
    EXPECT_TRUE(R::showsReviewPrompt(due));
    auto early = due;
    early.now -= 1;
    EXPECT_FALSE(R::showsReviewPrompt(early));
    for (bool R::ReviewInputs::*flag :
         {&R::ReviewInputs::advancedPanelOpen, &R::ReviewInputs::payoutNeedsAttention,
          &R::ReviewInputs::answered}) {
        auto blocked = due;
        blocked.*flag = true;
        EXPECT_FALSE(R::showsReviewPrompt(blocked));
    }
    auto unstamped = due;
    unstamped.firstLaunchAt = 0;
    unstamped.now = 1e12;
    EXPECT_FALSE(R::showsReviewPrompt(unstamped));
}

TEST(DashboardCandidate, ThreeRunsAndReasons) {
    LanguageScope fr(AppLanguage::french);
    const auto runs = R::candidateRuns(
        QStringLiteral("Validé par le nœud — %@, preuve de travail exceptée."), 12345);
    EXPECT_EQ(runs.before, "Validé par le nœud — ");
    EXPECT_EQ(runs.count, "12,345 transactions");
    EXPECT_EQ(runs.after, ", preuve de travail exceptée.");
    EXPECT_EQ(R::candidateRuns(QStringLiteral("x %@ y"), 1).count, "1 transaction");
    // A translation without "%@": the whole frame, then the count, nothing after.
    const auto bare = R::candidateRuns(QStringLiteral("Validé."), 2);
    EXPECT_EQ(bare.before, "Validé.");
    EXPECT_EQ(bare.after, "");
    // Only the first two pieces show.
    EXPECT_EQ(R::candidateRuns(QStringLiteral("a%@b%@c"), 2).after, "b");

    const QString known = ModuleMessage::texts().first();
    {
        LanguageScope en(AppLanguage::english);
        EXPECT_TRUE(R::rejectedText(known).contains(known));
        EXPECT_TRUE(R::unavailableText(known).contains(ModuleMessage::localized(known)));
        EXPECT_TRUE(R::rejectedText(QStringLiteral("<b>x</b>")).contains("<b>x</b>"));
    }
    EXPECT_EQ(R::blockHeightLine(840000), "Hauteur 840,000");
    EXPECT_EQ(R::toggledTheme("dark"), "light");
    EXPECT_EQ(R::toggledTheme("sepia"), "dark");
    EXPECT_EQ(R::toggledTheme(""), "dark");
    EXPECT_EQ(R::networkName("testnet4"), "TESTNET4");
}

TEST(MiniDashboardRules, StatusTilesAndChips) {
    LanguageScope fr(AppLanguage::french);
    using R::Run;
    struct Case {
        R::MiniStatus status;
        const char* label;
        const char* colour;
    };
    const Case cases[] = {
        {{Run::syncing, false, 1234, 5678, 12.34, {}},
         "Synchronisation 1,234/5,678 — 12.3 %",
         "warningText"},
        {{Run::syncing, false, 999, 1'000'000, 0, {}},
         "Synchronisation 999/1,000,000 — 0.0 %",
         "warningText"},
        {{Run::mining, true, 0, 0, 0, {}}, "Minage en cours", "successText"},
        {{Run::mining, false, 0, 0, 0, {}}, "En pause", "warningText"},
        {{Run::mining, false, 0, 0, 0, {}, R::Pause::schedule},
         "En pause par le planning",
         "warningText"},
        {{Run::idle, false, 0, 0, 0, {}}, "Minage arrêté", "textSecondary"},
        {{Run::stopping, false, 0, 0, 0, {}}, "Arrêt en cours…", "textSecondary"},
        {{Run::startingNode, false, 0, 0, 0, {}}, "Démarrage du nœud…", "warningText"},
        {{Run::failed, false, 0, 0, 0, "<i>x</i>"}, "<i>x</i>", "dangerText"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(R::miniStatusLabel(c.status), QString::fromUtf8(c.label));
        EXPECT_EQ(R::miniStatusColour(c.status), QString::fromUtf8(c.colour));
    }
    EXPECT_EQ(R::miniMachineValue(0.125), "13 %");
    EXPECT_EQ(R::miniMachineValue(0.004), "0 %");
    EXPECT_EQ(R::miniMachineValue(1.2), "120 %");  // not clamped, unlike the dashboard
    EXPECT_EQ(R::miniMachineValue(std::nullopt), "—");
    EXPECT_EQ(R::miniMachineValue(kNaN), "—");
    EXPECT_EQ(R::miniGainsValue(0), "0.00");
    EXPECT_EQ(R::miniGainsValue(150), "0.00000150");
    EXPECT_EQ(R::miniModeLabel(std::nullopt, 12, "balanced"), "Équilibré");
    EXPECT_EQ(R::miniModeLabel(4, 12, "balanced"), "Éco");
    EXPECT_EQ(R::miniModeLabel(12, 12, "eco"), "Max");
    EXPECT_EQ(R::miniWorkersLabel(4), "4 workers");
    EXPECT_EQ(R::miniWorkersLabel(std::nullopt), "—");
    EXPECT_EQ(R::miniUptimeLabel(std::nullopt, 10), "—");
    EXPECT_EQ(R::miniUptimeLabel(0, 59), "0h 00m");
    EXPECT_EQ(R::miniUptimeLabel(0, 3725), "1h 02m");
}

TEST(DashboardConfetti, PiecesPlacementsAndColours) {
    const auto zero = Confetti::piece(0);
    EXPECT_DOUBLE_EQ(zero.column, 0.5);
    EXPECT_DOUBLE_EQ(zero.delay, 1.1);
    EXPECT_DOUBLE_EQ(zero.speed, 1.125);
    EXPECT_DOUBLE_EQ(zero.size, 8);
    EXPECT_DOUBLE_EQ(zero.swing, 0.07);
    EXPECT_DOUBLE_EQ(zero.hue, 0.5);
    EXPECT_DOUBLE_EQ(zero.spin, 0);
    EXPECT_EQ(Confetti::pieces()[17].column, Confetti::piece(17).column);
    for (const auto& piece : Confetti::pieces()) {
        EXPECT_GE(piece.column, 0.02);
        EXPECT_LE(piece.column, 0.98);
        EXPECT_GE(piece.speed, 0.75);
        EXPECT_LE(piece.speed, 1.5);
    }
    // Piece 0 at chosen points of its fall: t·1.125 − 1.1 = 6p.
    const auto at = [&](double p, double w, double h) {
        return Confetti::place(zero, (6 * p + 1.1) / 1.125, w, h);
    };
    const auto top = at(0, 400, 300);
    ASSERT_TRUE(top);
    EXPECT_NEAR(top->y, -40, 1e-9);
    EXPECT_NEAR(top->rotationRadians, 0, 1e-12);
    EXPECT_NEAR(at(0.75, 400, 300)->opacity, 1, 1e-9);
    EXPECT_NEAR(at(0.9, 400, 300)->opacity, 0.4, 1e-9);
    EXPECT_NEAR(at(0.5, 400, 300)->y, 380 * 0.5 - 40, 1e-9);
    EXPECT_FALSE(Confetti::place(zero, 0, 400, 300));  // before its cycle began
    const auto empty = at(0.5, 0, 0);                  // a zero-size layer
    ASSERT_TRUE(empty);
    EXPECT_TRUE(std::isfinite(empty->x) && std::isfinite(empty->y));
    EXPECT_EQ(Confetti::colourBucket(0.24), 0);
    EXPECT_EQ(Confetti::colourBucket(0.25), 1);
    EXPECT_EQ(Confetti::colourBucket(0.5), 2);
    EXPECT_EQ(Confetti::colourBucket(0.75), 3);
    EXPECT_EQ(Confetti::colourBucket(1.0), 3);
    EXPECT_NEAR(Confetti::referenceTime(978307200), 0, 1e-9);
}

}  // namespace
}  // namespace corvanta
