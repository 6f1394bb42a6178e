#include "Dashboard/DashboardRules.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "Session/SessionRules.h"
#include "SystemServices/EarningsScan.h"
#include "corvanta/mining/GovernorEvent.h"
#include "corvanta/mining/PowerMode.h"

namespace corvanta::DashboardRules {

namespace {

constexpr double kFullScaleMHs = 320;
constexpr double kNoncesPerSweep = 4294967295.0;
constexpr double kPulseFullSeconds = 1200;
constexpr double kReviewDelaySeconds = 86400;

QString decimal(std::int64_t value) {
    return QString::number(value);
}

// Seconds as a whole, non-negative count; NaN and the negative give 0, the huge saturate.
std::int64_t wholeSeconds(double seconds) {
    if (!(seconds > 0)) return 0;
    if (seconds >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
    return std::int64_t(std::trunc(seconds));
}

}  // namespace

bool stopped(Run run) {
    return run == Run::idle || run == Run::failed;
}

double hashRateFraction(double megahashesPerSecond) {
    const double f = megahashesPerSecond / kFullScaleMHs;
    if (!(f >= 0)) return 0;
    return std::min(f, 1.0);
}

double sweepPeriod(double megahashesPerSecond) {
    const double hashesPerSecond = megahashesPerSecond * 1'000'000;
    if (!(hashesPerSecond > 0)) return std::numeric_limits<double>::infinity();
    return kNoncesPerSweep / hashesPerSecond;
}

int percent(double fraction) {
    if (!(fraction >= 0)) return 0;
    return int(std::round(std::min(fraction, 1.0) * 100));
}

double arcClamp(double fraction) {
    if (std::isnan(fraction)) return 1;
    return std::max(std::min(fraction, 1.0), 0.0001);
}

double sweepPhase(double anchorPhase, double secondsSinceAnchor, double period) {
    if (!(std::isfinite(period) && period > 0)) return anchorPhase;
    const double s = anchorPhase + secondsSinceAnchor / period;
    if (!std::isfinite(s)) return anchorPhase;
    return s - std::trunc(s);
}

bool sweepDotShown(bool active, bool reduceMotion, double period) {
    return active && !reduceMotion && std::isfinite(period) && period > 0;
}

double sweepAngle(double phase) {
    return phase * 180 - 180;
}

Pause pauseOf(bool manuallyPaused, bool governorPaused, const QString& governorReason) {
    if (manuallyPaused) return Pause::manual;
    if (!governorPaused) return Pause::none;
    return governorReason == QString::fromUtf8(schedulePauseMessage.data(),
                                               qsizetype(schedulePauseMessage.size()))
               ? Pause::schedule
               : Pause::governor;
}

QString pauseCaption(Pause pause, const QString& governorReason) {
    const auto& localization = Localization::shared();
    switch (pause) {
        case Pause::none:
            return {};
        case Pause::manual:
            return localization.string(QStringLiteral("Minage en pause — le nœud reste debout"));
        case Pause::schedule:
            return localization.string(QStringLiteral("Minage en pause par le planning"));
        case Pause::governor:
            if (governorReason.isEmpty()) {
                return localization.string(QStringLiteral("Minage en pause — voir CPU"));
            }
            return ModuleMessage::localized(governorReason);
    }
    return {};
}

QString statusLabel(Run run, const QString& failureMessage, Pause pause) {
    if (run == Run::mining && pause == Pause::schedule) {
        return Localization::shared().string(QStringLiteral("En pause par le planning"));
    }
    if (run == Run::mining && pause != Pause::none) {
        return Localization::shared().string(QStringLiteral("En pause"));
    }
    switch (run) {
        case Run::idle:
            return Localization::shared().string(QStringLiteral("Minage arrêté"));
        case Run::startingNode:
            return Localization::shared().string(QStringLiteral("Démarrage du nœud…"));
        case Run::syncing:
            return Localization::shared().string(QStringLiteral("Synchronisation"));
        case Run::mining:
            return Localization::shared().string(QStringLiteral("Minage en cours"));
        case Run::stopping:
            return Localization::shared().string(QStringLiteral("Arrêt en cours…"));
        case Run::failed:
            return failureMessage;
    }
    return {};
}

QString uptimeLine(double startedAt, double now) {
    return L(QStringLiteral("depuis %@"), Formatting::uptime(now - startedAt));
}

QString machineBusyLine(double systemFraction) {
    return L(QStringLiteral("Machine %@ %%"), QString::number(percent(systemFraction)));
}

QString machineFreeLine(double systemFraction) {
    // 1 − NaN stays NaN, which percent() shows as 0.
    return L(QStringLiteral("libre %@ %%"), QString::number(percent(1 - systemFraction)));
}

QString machineValue(std::optional<double> processFraction) {
    if (!processFraction) return QStringLiteral("—");
    return QString::number(percent(*processFraction)) + QStringLiteral(" %");
}

bool lacksPeers(std::optional<double> noPeersSince, double now) {
    constexpr double kNoPeerGraceSeconds = 30;
    return noPeersSince && now - *noPeersSince >= kNoPeerGraceSeconds;
}

double syncBarValue(std::int64_t blocks, std::int64_t headers) {
    if (headers < 1) return 0;
    const double v = double(blocks) / double(headers);
    if (v < 0) return 0;
    return std::min(v, 1.0);
}

QString syncPercentText(double percent) {
    return Formatting::fixed(percent, 1) + QStringLiteral(" %");
}

QString syncCountText(std::int64_t blocks, std::int64_t headers) {
    return L(QStringLiteral("%@ / %@ blocs"), Formatting::integer(blocks),
             Formatting::integer(headers));
}

QString litMode(const PickerInputs& in) {
    if (in.manuallyPaused || in.governorPaused) return {};
    if (stopped(in.run)) return in.powerMode;
    if (const auto applied = appliedPowerMode(in.effectiveWorkerCount, in.performanceCores)) {
        return QString::fromLatin1(rawValue(*applied).data(), qsizetype(rawValue(*applied).size()));
    }
    return in.powerMode;
}

bool pauseIsLit(const PickerInputs& in) {
    if (stopped(in.run)) return false;
    return in.manuallyPaused || in.governorPaused;
}

QString throttleCaption(bool throttled, std::optional<int> effectiveWorkerCount,
                        int performanceCores) {
    if (!throttled || !effectiveWorkerCount) return {};
    return L(takesPlural(*effectiveWorkerCount) ? QStringLiteral("Régime réel : %d workers sur %d")
                                                : QStringLiteral("Régime réel : %d worker sur %d"),
             decimal(*effectiveWorkerCount), decimal(performanceCores));
}

int gridColumn(double x, double width) {
    if (!(width > 0)) return 0;
    const double column = x / (width / kSlots);
    if (!(column >= 0)) return 0;  // NaN and the left of the grid
    if (column >= kSlots - 1) return kSlots - 1;
    return int(std::trunc(column));
}

const QStringList& gridRows() {
    static const QStringList rows{QStringLiteral("smart"), QStringLiteral("max"),
                                  QStringLiteral("balanced"), QStringLiteral("eco"),
                                  QStringLiteral("off")};
    return rows;
}

QString gridRowMode(double y, double rowHeight, double rowSpacing) {
    const double pitch = rowHeight + rowSpacing;
    const double row = pitch > 0 ? y / pitch : 0;
    if (!(row >= 1)) return gridRows().first();  // NaN too
    if (row >= 4) return gridRows().last();
    return gridRows().at(int(std::trunc(row)));
}

double hourLabelCentre(int hour, double width) {
    return std::min(std::max(width * hour / 24, 11.0), width - 11);
}

QString pulseElapsedText(std::optional<double> tipAt, double now) {
    if (!tipAt) return QStringLiteral("—");
    const std::int64_t s = wholeSeconds(now - *tipAt);
    return QStringLiteral("%1m %2s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

double pulseBarFraction(std::optional<double> tipAt, double now) {
    if (!tipAt) return 0;
    const double e = now - *tipAt;
    if (!(e >= 0)) return 0;
    return std::min(e / kPulseFullSeconds, 1.0);
}

std::int64_t drawsEntered(std::optional<std::int64_t> sessionStartHeight,
                          std::optional<std::int64_t> freshHeight) {
    if (!sessionStartHeight || !freshHeight) return 0;
    std::int64_t draws = 0;
    // Heights far apart (a node's figures are input) saturate rather than wrap.
    if (__builtin_sub_overflow(*freshHeight, *sessionStartHeight, &draws)) {
        return *freshHeight > *sessionStartHeight ? std::numeric_limits<std::int64_t>::max() : 0;
    }
    return std::max<std::int64_t>(draws, 0);
}

QString drawsCaption(std::int64_t draws) {
    return Localization::shared().string(
        takesPlural(draws) ? QStringLiteral("tirages entrés depuis le début de cette session")
                           : QStringLiteral("tirage entré depuis le début de cette session"));
}

std::int64_t gainsSats(std::optional<EarningsFigures> earnings, bool coversConfiguredAddress,
                       std::int64_t persistedHistoryTotalSats) {
    if (!earnings || !coversConfiguredAddress) return persistedHistoryTotalSats;
    return earningsTotalSats(earnings->matureSats, earnings->immatureSats);
}

QString blocksFoundSubtitle(std::int64_t count) {
    return L(
        takesPlural(count) ? QStringLiteral("%d blocs trouvés") : QStringLiteral("%d bloc trouvé"),
        decimal(count));
}

QString lastUpdateLabel(std::optional<double> updatedAt, double now) {
    if (!updatedAt) return {};
    return L(QStringLiteral("Dernière mise à jour : il y a %@"),
             Formatting::shortDuration(now - *updatedAt));
}

bool showsReviewPrompt(const ReviewInputs& in) {
    if (in.advancedPanelOpen || in.payoutNeedsAttention) return false;
    if (in.firstLaunchAt == 0 || in.answered) return false;
    return in.now >= in.firstLaunchAt + kReviewDelaySeconds;
}

CandidateRuns candidateRuns(const QString& frame, std::int64_t transactionCount) {
    const QStringList parts = frame.split(QStringLiteral("%@"));
    CandidateRuns runs;
    runs.before = parts.value(0);
    runs.count = L(takesPlural(transactionCount) ? QStringLiteral("%d transactions")
                                                 : QStringLiteral("%d transaction"),
                   Formatting::integer(transactionCount));
    runs.after = parts.value(1);
    return runs;
}

QString rejectedText(const QString& reason) {
    return L(QStringLiteral("REFUSÉ par le nœud : %@. Un bloc trouvé maintenant serait rejeté par "
                            "le réseau — la puissance dépensée ne peut rien rapporter tant que ce "
                            "motif tient."),
             reason);
}

QString unavailableText(const QString& reason) {
    return L(QStringLiteral("Contrôle impossible pour l'instant (%@). Ni validé ni refusé : l'état "
                            "de ce candidat est inconnu, pas bon."),
             ModuleMessage::localized(reason));
}

QString networkName(const QString& network) {
    return network.toUpper();
}

QString networkHelp(const QString& network) {
    return Localization::shared().string(
        network == QLatin1String("mainnet")
            ? QStringLiteral("Réseau principal — les pièces minées ici ont une valeur réelle.")
            : QStringLiteral("Réseau de test — les pièces minées ici n'ont aucune valeur."));
}

QString toggledTheme(const QString& current) {
    return current == QLatin1String("dark") ? QStringLiteral("light") : QStringLiteral("dark");
}

QString blockHeightLine(std::int64_t height) {
    return L(QStringLiteral("Hauteur %@"), Formatting::integer(height));
}

QString miniStatusLabel(const MiniStatus& status) {
    switch (status.run) {
        case Run::syncing:
            return L(QStringLiteral("Synchronisation %@/%@ — %@ %%"),
                     Formatting::integer(status.syncBlocks),
                     Formatting::integer(status.syncHeaders),
                     Formatting::fixed(status.syncPercent, 1));
        case Run::mining:
            if (!status.isHashing) {
                return Localization::shared().string(
                    status.pause == Pause::schedule ? QStringLiteral("En pause par le planning")
                                                    : QStringLiteral("En pause"));
            }
            [[fallthrough]];
        default:
            return statusLabel(status.run, status.failureMessage);
    }
}

QString miniStatusColour(const MiniStatus& status) {
    switch (status.run) {
        case Run::syncing:
        case Run::startingNode:
            return QStringLiteral("warningText");
        case Run::failed:
            return QStringLiteral("dangerText");
        case Run::mining:
            return status.isHashing ? QStringLiteral("successText") : QStringLiteral("warningText");
        case Run::idle:
        case Run::stopping:
            break;
    }
    return QStringLiteral("textSecondary");
}

QString miniMachineValue(std::optional<double> processFraction) {
    if (!processFraction) return QStringLiteral("—");
    const double n = *processFraction * 100;
    if (!std::isfinite(n) || std::abs(n) > 1e9) return QStringLiteral("—");
    return QString::number(std::int64_t(std::round(n))) + QStringLiteral(" %");
}

QString miniGainsValue(std::int64_t sats) {
    if (sats == 0) return QStringLiteral("0.00");
    QString text = Formatting::bitcoin(sats);
    text.chop(4);  // " BTC": the tile shows the unit on its own row
    return text;
}

QString modeTitle(const QString& mode) {
    if (mode == QLatin1String("eco")) return Localization::shared().string(QStringLiteral("Éco"));
    if (mode == QLatin1String("balanced")) {
        return Localization::shared().string(QStringLiteral("Équilibré"));
    }
    if (mode == QLatin1String("max")) return QStringLiteral("Max");
    return mode;
}

QString miniModeLabel(std::optional<int> effectiveWorkerCount, int performanceCores,
                      const QString& requestedMode) {
    if (const auto applied = appliedPowerMode(effectiveWorkerCount, performanceCores)) {
        return modeTitle(
            QString::fromLatin1(rawValue(*applied).data(), qsizetype(rawValue(*applied).size())));
    }
    return modeTitle(requestedMode);
}

QString miniWorkersLabel(std::optional<int> effectiveWorkerCount) {
    if (!effectiveWorkerCount) return QStringLiteral("—");
    return L(takesPlural(*effectiveWorkerCount) ? QStringLiteral("%d workers")
                                                : QStringLiteral("%d worker"),
             decimal(*effectiveWorkerCount));
}

QString miniUptimeLabel(std::optional<double> startedAt, double now) {
    if (!startedAt) return QStringLiteral("—");
    return Formatting::uptime(now - *startedAt);
}

}  // namespace corvanta::DashboardRules
