#include "corvanta/widgets/MiningStatusView.h"

#include <cmath>
#include <cstdint>

#include "corvanta/widgets/WidgetColors.h"

namespace corvanta::widgets::miningStatus {

bool isLive(const MinerEntry& entry) {
    return entry.snapshot && entry.snapshot->isFresh(timePoint(entry.date)) &&
           entry.snapshot->isRunning;
}

std::optional<QString> elapsedText(double seconds) {
    // Range-checked before any conversion: converting a value outside int64 is undefined.
    constexpr double limit = 0x1p63;
    if (!std::isfinite(seconds) || seconds < -limit || seconds >= limit) return std::nullopt;
    const auto n = static_cast<std::int64_t>(std::fmax(0.0, seconds));
    if (n < 60) return QStringLiteral("%1s").arg(n);
    if (n < 3600) return QStringLiteral("%1m %2s").arg(n / 60).arg(n % 60);
    return QStringLiteral("%1h %2m").arg(n / 3600).arg(n % 3600 / 60);
}

ModeBadge modeBadge(const MinerSnapshot& snapshot) {
    if (snapshot.isPaused) return {QStringLiteral("PAUSE"), colors::brandWarningText()};
    const std::string mode = snapshot.appliedMode.value_or("");
    // Compared exactly, case included.
    if (mode == "eco") return {QStringLiteral("ECO"), colors::brandMint()};
    if (mode == "balanced") return {QStringLiteral("BALANCED"), colors::brandViolet()};
    if (mode == "max") return {QStringLiteral("MAX"), colors::brandPink()};
    return {QStringLiteral("—"), colors::brandSecondary()};
}

QVariantMap content(const MinerEntry& entry, widgetkit::WidgetFamily family, Language language) {
    const auto text = [language](const char* key) {
        return localizedString(QString::fromUtf8(key), language);
    };
    const bool live = isLive(entry);
    QColor idleDot = colors::brandSecondary();
    idleDot.setAlphaF(0.5);
    QVariantMap map{
        {"small", family == widgetkit::WidgetFamily::systemSmall},
        {"live", live},
        {"dotColour", live ? colors::brandMint() : idleDot},
        {"header", text("HASHRATE")},
    };
    if (live) {
        const MinerSnapshot& snapshot = *entry.snapshot;
        const auto elapsed = snapshot.secondsSinceNetworkBlock
                                 ? elapsedText(*snapshot.secondsSinceNetworkBlock)
                                 : std::nullopt;
        const ModeBadge badge = modeBadge(snapshot);
        map.insert(QVariantMap{
            {"rate", QString::asprintf("%.2f", snapshot.hashRateMHs)},
            {"rateColour", colors::brandViolet()},
            {"unit", text("MH/s")},
            {"hasElapsed", elapsed.has_value()},
            {"elapsed", elapsed.value_or(QString())},
            {"badge", badge.text},
            {"badgeColour", badge.colour},
        });
    } else {
        map.insert(QVariantMap{
            {"stoppedTitle", text("À l'arrêt")},
            {"stoppedHint", text("Ouvrez Corvanta pour reprendre.")},
        });
    }
    return map;
}

}  // namespace corvanta::widgets::miningStatus
