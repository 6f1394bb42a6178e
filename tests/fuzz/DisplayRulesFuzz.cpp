// The dashboard's and the tray's rules over any figures: heights, amounts, rates, fractions and
// dates, NaN and the infinities among them. Nothing overflows, a drawn length or share stays in its
// range, and an amount's text stands for that amount.

#include <QStringList>

#include <cmath>
#include <limits>

#include "AppFuzzSupport.h"
#include "Dashboard/DashboardRules.h"
#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "MenuBar/TrayMenuModel.h"

using namespace corvanta;
namespace Rules = corvanta::DashboardRules;

namespace {

bool within(double value, double low, double high) {
    return value >= low && value <= high;
}

void gauges(fuzz::Figures& in) {
    const double rate = in.next<double>();
    fuzz::expect(within(Rules::hashRateFraction(rate), 0, 1), "gauge fraction out of range");
    const double period = Rules::sweepPeriod(rate);
    fuzz::expect(period >= 0, "a negative or NaN sweep period");
    fuzz::expect(within(Rules::percent(in.next<double>()), 0, 100), "a percent out of range");
    fuzz::expect(within(Rules::arcClamp(in.next<double>()), 0.0001, 1), "an arc out of range");
    const double anchor = in.next<double>();
    const double phase = Rules::sweepPhase(anchor, in.next<double>(), period);
    // A phase past the end of the double range keeps its anchor, which is within one turn.
    if (within(anchor, -1, 1) && Rules::sweepDotShown(true, false, period)) {
        fuzz::expect(within(phase, -1, 1), "a sweep phase beyond one turn");
        Rules::sweepAngle(phase);
    }
    Rules::machineBusyLine(in.next<double>());
    Rules::machineFreeLine(in.next<double>());
    Rules::machineValue(in.maybe<double>());
    Rules::miniMachineValue(in.maybe<double>());
}

void chain(fuzz::Figures& in) {
    const auto blocks = in.next<std::int64_t>();
    const auto headers = in.next<std::int64_t>();
    fuzz::expect(within(Rules::syncBarValue(blocks, headers), 0, 1), "a sync bar out of range");
    Rules::syncCountText(blocks, headers);
    Rules::syncPercentText(in.next<double>());
    fuzz::expect(QString(Formatting::integer(blocks)).remove(u',') == QString::number(blocks),
                 "a grouped integer reads as another");
    Rules::blockHeightLine(headers);

    const auto start = in.maybe<std::int64_t>();
    const auto fresh = in.maybe<std::int64_t>();
    const std::int64_t draws = Rules::drawsEntered(start, fresh);
    fuzz::expect(draws >= 0, "negative draws");
    std::int64_t difference = 0;
    if (start && fresh && !__builtin_sub_overflow(*fresh, *start, &difference)) {
        fuzz::expect(draws == std::max<std::int64_t>(difference, 0), "draws miscounted");
    }
    Rules::drawsCaption(draws);

    const auto tip = in.maybe<double>();
    const double now = in.next<double>();
    fuzz::expect(within(Rules::pulseBarFraction(tip, now), 0, 1), "a pulse bar out of range");
    fuzz::expect(!Rules::pulseElapsedText(tip, now).isEmpty(), "no elapsed text");
    Rules::uptimeLine(in.next<double>(), now);
    Rules::lastUpdateLabel(in.maybe<double>(), now);
    Rules::miniUptimeLabel(in.maybe<double>(), now);
    Rules::ReviewInputs review;
    review.firstLaunchAt = in.next<double>();
    review.now = now;
    Rules::showsReviewPrompt(review);
    Formatting::shortDuration(in.next<double>());
    Formatting::uptime(in.next<double>());
    Formatting::oneIn(in.next<double>());
    Formatting::compactDifficulty(in.next<double>());
    Formatting::hashCount(in.next<std::uint64_t>());
}

void amounts(fuzz::Figures& in) {
    const Rules::EarningsFigures figures{in.next<std::int64_t>(), in.next<std::int64_t>()};
    const std::int64_t history = in.next<std::int64_t>();
    const std::int64_t gains = Rules::gainsSats(figures, true, history);
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(figures.matureSats, figures.immatureSats, &sum)) {
        fuzz::expect(gains == sum, "gains other than the sum");
    } else {
        fuzz::expect(gains == (figures.matureSats > 0 ? std::numeric_limits<std::int64_t>::max()
                                                      : std::numeric_limits<std::int64_t>::min()),
                     "gains past 64 bits do not saturate");
    }
    fuzz::expect(Rules::gainsSats(figures, false, history) == history,
                 "gains of another address shown");
    fuzz::expect(fuzz::satsShown(Formatting::bitcoin(gains)) == gains,
                 "an amount's text stands for another amount");
    Rules::miniGainsValue(gains);
    Rules::blocksFoundSubtitle(in.next<std::int64_t>());
    Rules::candidateRuns(QStringLiteral("Validé par le nœud — %@, preuve de travail exceptée."),
                         in.next<std::int64_t>());
}

void modes(fuzz::Figures& in) {
    Rules::PickerInputs picker;
    picker.run = Rules::Run(in.next<std::uint8_t>() % 6);
    picker.powerMode = QStringLiteral("balanced");
    picker.manuallyPaused = in.flag();
    picker.governorPaused = in.flag();
    picker.effectiveWorkerCount = in.maybe<int>();
    picker.performanceCores = in.next<int>();
    const QString lit = Rules::litMode(picker);
    fuzz::expect(lit.isEmpty() || lit == QLatin1String("eco") || lit == QLatin1String("balanced") ||
                     lit == QLatin1String("max"),
                 "an unknown mode lit");
    Rules::pauseIsLit(picker);
    Rules::throttleCaption(in.flag(), picker.effectiveWorkerCount, picker.performanceCores);
    Rules::miniModeLabel(picker.effectiveWorkerCount, picker.performanceCores, picker.powerMode);
    Rules::miniWorkersLabel(picker.effectiveWorkerCount);

    Rules::MiniStatus status;
    status.run = picker.run;
    status.isHashing = in.flag();
    status.syncBlocks = in.next<std::int64_t>();
    status.syncHeaders = in.next<std::int64_t>();
    status.syncPercent = in.next<double>();
    Rules::miniStatusLabel(status);
    Rules::miniStatusColour(status);

    const double width = in.next<double>();
    fuzz::expect(within(Rules::gridColumn(in.next<double>(), width), 0, Rules::kSlots - 1),
                 "a grid column out of the grid");
    fuzz::expect(Rules::gridRows().contains(
                     Rules::gridRowMode(in.next<double>(), in.next<double>(), in.next<double>())),
                 "a grid row of no mode");
    Rules::hourLabelCentre(in.next<int>(), width);
}

void tray(fuzz::Figures& in) {
    TrayInputs inputs;
    inputs.runState = ShellRunState(in.next<std::uint8_t>() % 6);
    inputs.governorPaused = in.flag();
    inputs.hashRateMHs = in.next<double>();
    inputs.earningsSats = in.maybe<std::int64_t>();
    inputs.scanCoversConfiguredAddress = in.flag();
    inputs.persistedHistoryTotalSats = in.next<std::int64_t>();
    inputs.rpcLinkState = in.next<std::uint8_t>() % 3;
    if (in.flag()) {
        inputs.freshChainStatus =
            TrayInputs::Chain{in.next<std::int64_t>(), in.next<std::int64_t>(), in.flag()};
    }
    inputs.peerCount = in.maybe<int>();
    inputs.network = QStringLiteral("regtest");
    inputs.updatesConfigured = in.flag();
    inputs.showHashRate = in.flag();
    const TrayMenu menu = trayMenu(inputs);
    fuzz::expect(!menu.statusText.isEmpty() && menu.networkBadge == QLatin1String("REGTEST"),
                 "a tray status without text or badge");
    const QString tip = trayToolTip(inputs);
    fuzz::expect(tip.startsWith(QLatin1String("Corvanta")), "a tray tooltip without the name");
    traySymbol(inputs.runState);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::useScratchConfigHome();
    fuzz::Figures in(fuzz::textOf(data, size));
    Localization::shared().setLanguage(
        kAllAppLanguages[in.next<std::uint8_t>() % kAllAppLanguages.size()]);
    gauges(in);
    chain(in);
    amounts(in);
    modes(in);
    tray(in);
    return 0;
}
