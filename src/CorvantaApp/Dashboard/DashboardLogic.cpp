#include "Dashboard/DashboardLogic.h"

#include <QDateTime>
#include <QJSValue>
#include <QQmlEngine>
#include <chrono>
#include <cmath>
#include <limits>

#include "Dashboard/DashboardRules.h"
#include "Localization/Formatting.h"
#include "Localization/Localization.h"
#include "MenuBar/TrayMenuModel.h"
#include "SystemServices/AppLinks.h"
#include "corvanta/mining/CPUEngine.h"

namespace corvanta {
namespace {

namespace Rules = DashboardRules;

QVariant plain(QVariant value) {
    if (value.metaType() == QMetaType::fromType<QJSValue>()) {
        value = value.value<QJSValue>().toVariant();
    }
    return value;
}

bool present(const QVariant& value) {
    const QVariant v = plain(value);
    return v.isValid() && !v.isNull();
}

// A whole number the session handed over, absent when it is none or not finite.
std::optional<std::int64_t> wholeNumber(const QVariant& value) {
    const QVariant v = plain(value);
    if (!present(v)) return std::nullopt;
    if (v.metaType() == QMetaType::fromType<double>() ||
        v.metaType() == QMetaType::fromType<float>()) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::abs(d) >= 9.0e18) return std::nullopt;
        return std::int64_t(d);
    }
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok ? std::optional<std::int64_t>(n) : std::nullopt;
}

std::optional<double> instant(const QVariant& value) {
    const QVariant v = plain(value);
    if (!present(v)) return std::nullopt;
    if (v.metaType() == QMetaType::fromType<QDateTime>()) {
        const QDateTime date = v.toDateTime();
        if (!date.isValid()) return std::nullopt;
        return double(date.toMSecsSinceEpoch()) / 1000;
    }
    bool ok = false;
    const double seconds = v.toDouble(&ok);
    return ok && std::isfinite(seconds) ? std::optional<double>(seconds) : std::nullopt;
}

std::optional<double> fraction(const QVariant& record, const char* name) {
    const QVariant field = recordField(record, name);
    if (!present(field)) return std::nullopt;
    return field.toDouble();
}

std::optional<int> workerCount(const QVariant& value) {
    const auto count = wholeNumber(value);
    if (!count || *count < 0 || *count > std::numeric_limits<int>::max()) return std::nullopt;
    return int(*count);
}

std::int64_t gainsTotal(const QVariant& earnings, bool covers, const QVariant& persisted) {
    std::optional<Rules::EarningsFigures> figures;
    if (present(earnings)) {
        figures =
            Rules::EarningsFigures{wholeNumber(recordField(earnings, "matureSats")).value_or(0),
                                   wholeNumber(recordField(earnings, "immatureSats")).value_or(0)};
    }
    return Rules::gainsSats(figures, covers, wholeNumber(persisted).value_or(0));
}

Rules::Run run(int runState) {
    if (runState < 0 || runState > int(Rules::Run::failed)) return Rules::Run::idle;
    return Rules::Run(runState);
}

}  // namespace

DashboardLogic::DashboardLogic(QObject* parent)
    : QObject(parent), performanceCores_(std::max(1, CPUEngine::performanceCoreCount())) {
    connect(&Localization::shared(), &Localization::languageChanged, this,
            &DashboardLogic::languageChanged);
}

DashboardLogic* DashboardLogic::create(QQmlEngine* engine, QJSEngine*) {
    return new DashboardLogic(engine);
}

void DashboardLogic::setPerformanceCores(int cores) {
    cores = std::max(1, cores);
    if (cores == performanceCores_) return;
    performanceCores_ = cores;
    emit performanceCoresChanged();
}

void DashboardLogic::setFixedNow(const QVariant& seconds) {
    const QVariant value = plain(seconds);
    if (value == fixedNow_) return;
    fixedNow_ = value;
    emit fixedNowChanged();
}

double DashboardLogic::now() const {
    if (const auto fixed = instant(fixedNow_)) return *fixed;
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000;
}

double DashboardLogic::seconds(const QVariant& date) const {
    return instant(date).value_or(std::numeric_limits<double>::quiet_NaN());
}

double DashboardLogic::hashRateFraction(double rate) const {
    return Rules::hashRateFraction(rate);
}
double DashboardLogic::sweepPeriod(double rate) const {
    return Rules::sweepPeriod(rate);
}
int DashboardLogic::percent(double f) const {
    return Rules::percent(f);
}
double DashboardLogic::arcClamp(double f) const {
    return Rules::arcClamp(f);
}
double DashboardLogic::sweepPhase(double anchorPhase, double since, double period) const {
    return Rules::sweepPhase(anchorPhase, since, period);
}
bool DashboardLogic::sweepDotShown(bool active, bool reduceMotion, double period) const {
    return Rules::sweepDotShown(active, reduceMotion, period);
}
QString DashboardLogic::fixed(double value, int decimals) const {
    return Formatting::fixed(value, decimals);
}

QColor DashboardLogic::faded(const QColor& colour, double opacity) const {
    QColor result = colour;
    result.setAlphaF(
        float(colour.alphaF() * std::clamp(std::isnan(opacity) ? 0.0 : opacity, 0.0, 1.0)));
    return result;
}

QString DashboardLogic::statusLabel(int runState, const QString& failureMessage) const {
    return Rules::statusLabel(run(runState), failureMessage);
}

QString DashboardLogic::statusLine(int runState, const QString& failureMessage, bool manuallyPaused,
                                   bool governorPaused, const QString& governorReason) const {
    return Rules::statusLabel(run(runState), failureMessage,
                              Rules::pauseOf(manuallyPaused, governorPaused, governorReason));
}

QString DashboardLogic::pauseCaption(bool manuallyPaused, bool governorPaused,
                                     const QString& governorReason) const {
    return Rules::pauseCaption(Rules::pauseOf(manuallyPaused, governorPaused, governorReason),
                               governorReason);
}

QString DashboardLogic::uptimeLine(const QVariant& startedAt, double now) const {
    const auto start = instant(startedAt);
    if (!start) return {};
    return Rules::uptimeLine(*start, now);
}

QVariantMap DashboardLogic::machine(const QVariant& cpuUsage) const {
    const auto system = fraction(cpuUsage, "systemFraction");
    const auto process = fraction(cpuUsage, "processFraction");
    const bool sampled = system && process;
    return {{QStringLiteral("sampled"), sampled},
            {QStringLiteral("fraction"), sampled ? *process : 0.0},
            {QStringLiteral("enclosing"), sampled ? QVariant(*system) : QVariant()},
            {QStringLiteral("busy"), sampled ? Rules::machineBusyLine(*system) : QString()},
            {QStringLiteral("free"), sampled ? Rules::machineFreeLine(*system) : QString()},
            {QStringLiteral("value"), Rules::machineValue(sampled ? process : std::nullopt)}};
}

QVariantMap DashboardLogic::sync(const QVariant& blocks, const QVariant& headers,
                                 double percent) const {
    const std::int64_t b = wholeNumber(blocks).value_or(0);
    const std::int64_t h = wholeNumber(headers).value_or(0);
    return {{QStringLiteral("bar"), Rules::syncBarValue(b, h)},
            {QStringLiteral("percent"), Rules::syncPercentText(percent)},
            {QStringLiteral("counts"), Rules::syncCountText(b, h)}};
}

bool DashboardLogic::lacksPeers(const QVariant& noPeersSince, double now) const {
    return Rules::lacksPeers(instant(noPeersSince), now);
}

QVariantMap DashboardLogic::picker(int runState, const QString& powerMode, bool manuallyPaused,
                                   bool governorPaused, const QVariant& effectiveWorkerCount,
                                   bool throttled) const {
    const std::optional<int> workers = workerCount(effectiveWorkerCount);
    const Rules::PickerInputs in{run(runState),  powerMode, manuallyPaused,
                                 governorPaused, workers,   performanceCores_};
    return {{QStringLiteral("lit"), Rules::litMode(in)},
            {QStringLiteral("pauseLit"), Rules::pauseIsLit(in)},
            {QStringLiteral("pauseEnabled"), !Rules::stopped(in.run)},
            {QStringLiteral("throttle"),
             Rules::throttleCaption(throttled, workers, performanceCores_)}};
}

int DashboardLogic::gridColumn(double x, double width) const {
    return Rules::gridColumn(x, width);
}
QString DashboardLogic::gridRowMode(double y, double rowHeight, double rowSpacing) const {
    return Rules::gridRowMode(y, rowHeight, rowSpacing);
}
double DashboardLogic::hourLabelCentre(int hour, double width) const {
    return Rules::hourLabelCentre(hour, width);
}

QVariantMap DashboardLogic::pulse(const QVariant& tipAt, double now) const {
    const auto tip = instant(tipAt);
    return {{QStringLiteral("elapsed"), Rules::pulseElapsedText(tip, now)},
            {QStringLiteral("bar"), Rules::pulseBarFraction(tip, now)},
            {QStringLiteral("waiting"), !tip.has_value()}};
}

QVariantMap DashboardLogic::draws(const QVariant& sessionStartHeight,
                                  const QVariant& freshChainStatus) const {
    const std::int64_t n = Rules::drawsEntered(
        wholeNumber(sessionStartHeight), wholeNumber(recordField(freshChainStatus, "blocks")));
    return {{QStringLiteral("count"), Formatting::integer(n)},
            {QStringLiteral("caption"), Rules::drawsCaption(n)}};
}

QString DashboardLogic::gainsAmount(const QVariant& earnings, bool coversConfiguredAddress,
                                    const QVariant& persistedHistoryTotalSats) const {
    std::optional<Rules::EarningsFigures> figures;
    if (present(earnings)) {
        figures =
            Rules::EarningsFigures{wholeNumber(recordField(earnings, "matureSats")).value_or(0),
                                   wholeNumber(recordField(earnings, "immatureSats")).value_or(0)};
    }
    return Formatting::bitcoin(Rules::gainsSats(
        figures, coversConfiguredAddress, wholeNumber(persistedHistoryTotalSats).value_or(0)));
}

QString DashboardLogic::blocksFoundSubtitle(const QVariant& count) const {
    return Rules::blocksFoundSubtitle(wholeNumber(count).value_or(0));
}

QString DashboardLogic::lastUpdateLabel(const QVariant& updatedAt, double now) const {
    return Rules::lastUpdateLabel(instant(updatedAt), now);
}

bool DashboardLogic::showsReviewPrompt(bool advancedPanelOpen, bool payoutNeedsAttention,
                                       double firstLaunchAt, bool answered, double now) const {
    return Rules::showsReviewPrompt(
        {advancedPanelOpen, payoutNeedsAttention, firstLaunchAt, answered, now});
}

QVariantMap DashboardLogic::candidate(const QVariant& validation) const {
    const QString kind = recordField(validation, "kind").toString();
    const QString reason = recordField(validation, "reason").toString();
    QVariantMap result{{QStringLiteral("kind"), kind.isEmpty() ? QStringLiteral("none") : kind}};
    if (kind == QLatin1String("validated")) {
        const auto runs = Rules::candidateRuns(
            Localization::shared().string(
                QStringLiteral("Validé par le nœud — %@, preuve de travail exceptée.")),
            wholeNumber(recordField(validation, "transactionCount")).value_or(0));
        result.insert(QStringLiteral("before"), runs.before);
        result.insert(QStringLiteral("count"), runs.count);
        result.insert(QStringLiteral("after"), runs.after);
    } else if (kind == QLatin1String("rejected")) {
        result.insert(QStringLiteral("text"), Rules::rejectedText(reason));
    } else if (kind == QLatin1String("unavailable")) {
        result.insert(QStringLiteral("text"), Rules::unavailableText(reason));
    } else {
        result[QStringLiteral("kind")] = QStringLiteral("none");
        result.insert(QStringLiteral("text"), Localization::shared().string(QStringLiteral(
                                                  "Pas encore soumis à la validation du nœud.")));
    }
    return result;
}

QString DashboardLogic::networkName(const QVariant& network) const {
    return Rules::networkName(plain(network).toString());
}
QString DashboardLogic::networkHelp(const QVariant& network) const {
    return Rules::networkHelp(plain(network).toString());
}
QString DashboardLogic::toggledTheme(const QString& current) const {
    return Rules::toggledTheme(current);
}

QVariantMap DashboardLogic::miniStatus(int runState, bool isHashing, const QVariant& syncBlocks,
                                       const QVariant& syncHeaders, double syncPercent,
                                       const QString& failureMessage, bool manuallyPaused,
                                       bool governorPaused, const QString& governorReason) const {
    const Rules::MiniStatus status{run(runState),
                                   isHashing,
                                   wholeNumber(syncBlocks).value_or(0),
                                   wholeNumber(syncHeaders).value_or(0),
                                   syncPercent,
                                   failureMessage,
                                   Rules::pauseOf(manuallyPaused, governorPaused, governorReason)};
    return {{QStringLiteral("label"), Rules::miniStatusLabel(status)},
            {QStringLiteral("colour"), Rules::miniStatusColour(status)}};
}

QString DashboardLogic::miniMachineValue(const QVariant& cpuUsage) const {
    return Rules::miniMachineValue(fraction(cpuUsage, "processFraction"));
}

QString DashboardLogic::miniGainsValue(const QVariant& earnings, bool coversConfiguredAddress,
                                       const QVariant& persistedHistoryTotalSats) const {
    return Rules::miniGainsValue(
        gainsTotal(earnings, coversConfiguredAddress, persistedHistoryTotalSats));
}

QString DashboardLogic::miniModeLabel(const QVariant& effectiveWorkerCount,
                                      const QString& requestedMode) const {
    return Rules::miniModeLabel(workerCount(effectiveWorkerCount), performanceCores_,
                                requestedMode);
}

QString DashboardLogic::miniWorkersLabel(const QVariant& effectiveWorkerCount) const {
    return Rules::miniWorkersLabel(workerCount(effectiveWorkerCount));
}

QString DashboardLogic::miniUptimeLabel(const QVariant& startedAt, double now) const {
    return Rules::miniUptimeLabel(instant(startedAt), now);
}

QString DashboardLogic::capitalized(const QString& text) const {
    QString result = text.toLower();
    bool start = true;
    for (auto& c : result) {
        if (start && c.isLetter()) c = c.toUpper();
        start = c.isSpace();
    }
    return result;
}

QUrl DashboardLogic::reviewLink() const {
    return AppLinks::review();
}
QUrl DashboardLogic::supportLink() const {
    return AppLinks::support();
}

QVariantMap DashboardLogic::blockFound(const QVariant& presentation) const {
    return {
        {QStringLiteral("height"),
         Rules::blockHeightLine(wholeNumber(recordField(presentation, "height")).value_or(0))},
        {QStringLiteral("reward"),
         Formatting::bitcoin(wholeNumber(recordField(presentation, "rewardSats")).value_or(0))}};
}

}  // namespace corvanta
