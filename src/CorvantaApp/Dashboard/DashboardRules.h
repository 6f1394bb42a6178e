#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace corvanta::DashboardRules {

// The dashboard's thresholds, roundings and texts, apart from any drawing. Times are seconds
// since 1970 (doubles); an absent date is std::nullopt. No function lets a NaN through into a
// drawn length or an integer.

// Run states as the session model numbers them.
enum class Run { idle, startingNode, syncing, mining, stopping, failed };
bool stopped(Run run);  // idle or failed

// --- gauges -------------------------------------------------------------------------------
// The hash-rate gauge: rate / 320 MH/s, negative or NaN as 0, at most 1.
double hashRateFraction(double megahashesPerSecond);
// Seconds for one 32-bit nonce sweep at `megahashesPerSecond`; +infinity when not above 0.
double sweepPeriod(double megahashesPerSecond);
// A share 0…1 as a whole percent, halves away from zero; negative or NaN gives 0, above 1 100.
int percent(double fraction);
// The length an arc is drawn with: at most 1, at least 0.0001; NaN draws the whole arc.
double arcClamp(double fraction);
// The dot's phase `secondsSinceAnchor` after an anchor at `anchorPhase`: the fractional part
// with the sign of the sum. A period that is not finite and positive keeps `anchorPhase`.
double sweepPhase(double anchorPhase, double secondsSinceAnchor, double period);
// Whether the dot runs (and with it a per-frame callback).
bool sweepDotShown(bool active, bool reduceMotion, double period);
// The dot's angle in degrees: −180 at the left end, 0 at the right.
double sweepAngle(double phase);

// --- status and uptime ----------------------------------------------------------------------
// Why a running session is not hashing. The user's pause comes first (it is what the user
// did); the governor tells the schedule's pause apart by the reason it gives.
enum class Pause { none, manual, governor, schedule };
Pause pauseOf(bool manuallyPaused, bool governorPaused, const QString& governorReason);
// The run state's text; a failure shows its own message unchanged. A paused mining session
// says so, naming the schedule when the schedule paused it.
QString statusLabel(Run run, const QString& failureMessage, Pause pause = Pause::none);
// The line under the power modes while paused: the user's pause, the schedule's, or the
// governor's own reason ("see CPU" when it gave none); empty when not paused.
QString pauseCaption(Pause pause, const QString& governorReason);
// "depuis 2h 05m"; a start in the future gives "depuis —".
QString uptimeLine(double startedAt, double now);
QString machineBusyLine(double systemFraction);               // "Machine 63 %"
QString machineFreeLine(double systemFraction);               // "libre 38 %"
QString machineValue(std::optional<double> processFraction);  // "7 %", "—" without a sample

// --- sync card ---------------------------------------------------------------------------
// Whether the node has been without a peer long enough (30 s) that the card says so instead of
// claiming a download.
bool lacksPeers(std::optional<double> noPeersSince, double now);
double syncBarValue(std::int64_t blocks, std::int64_t headers);
QString syncPercentText(double percent);  // "37.4 %"
QString syncCountText(std::int64_t blocks, std::int64_t headers);

// --- power-mode picker ---------------------------------------------------------------------
struct PickerInputs {
    Run run = Run::idle;
    QString powerMode;  // the requested mode
    bool manuallyPaused = false;
    bool governorPaused = false;
    std::optional<int> effectiveWorkerCount;
    int performanceCores = 1;
};
// The mode shown as applied; empty when no segment is lit.
QString litMode(const PickerInputs& in);
bool pauseIsLit(const PickerInputs& in);
// "Régime réel : 3 workers sur 10"; empty when not throttled or no count.
QString throttleCaption(bool throttled, std::optional<int> effectiveWorkerCount,
                        int performanceCores);

// --- schedule grid --------------------------------------------------------------------------
constexpr int kSlots = 144;
// The slot under `x` in a grid `width` wide: 0 when the width is not positive, else clamped.
int gridColumn(double x, double width);
// The row's mode under `y`: "smart", "max", "balanced", "eco" or "off"; a row's gap is its own.
QString gridRowMode(double y, double rowHeight, double rowSpacing);
const QStringList& gridRows();
// Centre of the hour label `hour` on a scale `width` wide.
double hourLabelCentre(int hour, double width);

// --- network pulse --------------------------------------------------------------------------
// "73m 03s"; no tip gives "—"; a tip in the future gives "0m 00s".
QString pulseElapsedText(std::optional<double> tipAt, double now);
// The bar over 1,200 s: 0 without a tip or for a tip in the future, full from 1,200 s.
double pulseBarFraction(std::optional<double> tipAt, double now);
// Blocks since the session began, never negative; 0 without a start height or fresh status.
std::int64_t drawsEntered(std::optional<std::int64_t> sessionStartHeight,
                          std::optional<std::int64_t> freshHeight);
QString drawsCaption(std::int64_t draws);

// --- gains and bottom bar ---------------------------------------------------------------------
struct EarningsFigures {
    std::int64_t matureSats = 0;
    std::int64_t immatureSats = 0;
};
// The amount the gains card shows, in satoshis; a sum past 64 bits saturates.
std::int64_t gainsSats(std::optional<EarningsFigures> earnings, bool coversConfiguredAddress,
                       std::int64_t persistedHistoryTotalSats);
QString blocksFoundSubtitle(std::int64_t count);
// Empty without an update time.
QString lastUpdateLabel(std::optional<double> updatedAt, double now);

// --- review prompt ---------------------------------------------------------------------------
struct ReviewInputs {
    bool advancedPanelOpen = false;
    bool payoutNeedsAttention = false;
    double firstLaunchAt = 0;
    bool answered = false;
    double now = 0;
};
bool showsReviewPrompt(const ReviewInputs& in);

// --- candidate card ---------------------------------------------------------------------------
// The validated text in three runs: before the count, the count run, after it.
struct CandidateRuns {
    QString before;
    QString count;
    QString after;
};
// `frame` is the translated "Validé par le nœud — %@, preuve de travail exceptée.".
CandidateRuns candidateRuns(const QString& frame, std::int64_t transactionCount);
QString rejectedText(const QString& reason);
QString unavailableText(const QString& reason);

// --- header ------------------------------------------------------------------------------------
QString networkName(const QString& network);  // "MAINNET"…; unknown names upper-cased
QString networkHelp(const QString& network);
// The theme text stored by the toggle from `current`.
QString toggledTheme(const QString& current);

// --- block found --------------------------------------------------------------------------------
QString blockHeightLine(std::int64_t height);  // "Hauteur 840,000"

// --- mini dashboard ------------------------------------------------------------------------
struct MiniStatus {
    Run run = Run::idle;
    bool isHashing = false;
    std::int64_t syncBlocks = 0;
    std::int64_t syncHeaders = 0;
    double syncPercent = 0;
    QString failureMessage;
    Pause pause = Pause::none;  // names the schedule's pause
};
// "Synchronisation 1,234/5,678 — 12.3 %", "En pause" while mining without hashing…
QString miniStatusLabel(const MiniStatus& status);
// The dot's colour, as the name of a Theme colour.
QString miniStatusColour(const MiniStatus& status);
// Process share as a percent, halves away from zero, not clamped: "120 %"; "—" without one.
QString miniMachineValue(std::optional<double> processFraction);
// "0.00" for nothing, else eight decimals: the unit stands apart.
QString miniGainsValue(std::int64_t sats);
// The applied mode's name ("Éco", "Équilibré", "Max"), else the requested one's.
QString miniModeLabel(std::optional<int> effectiveWorkerCount, int performanceCores,
                      const QString& requestedMode);
QString miniWorkersLabel(std::optional<int> effectiveWorkerCount);  // "4 workers", "1 worker", "—"
QString miniUptimeLabel(std::optional<double> startedAt, double now);
QString modeTitle(const QString& mode);

}  // namespace corvanta::DashboardRules
