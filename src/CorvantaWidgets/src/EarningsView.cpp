#include "corvanta/widgets/EarningsView.h"

#include "corvanta/widgets/WidgetColors.h"

namespace corvanta::widgets::earnings {

QString amountText(const MinerEntry& entry) {
    if (!entry.snapshot || entry.snapshot->totalSats == 0) return QStringLiteral("0.00 BTC");
    return QString::asprintf("%.8f BTC", static_cast<double>(entry.snapshot->totalSats) / 1e8);
}

QString blockCountText(const MinerEntry& entry, Language language) {
    const qint64 n = entry.snapshot ? entry.snapshot->blocksFound : 0;
    // French counts 0 and 1 as one; the other five take the plural for all but 1.
    const bool plural = language == Language::french ? n > 1 : n != 1;
    const QString key =
        plural ? QStringLiteral("%d blocs trouvés") : QStringLiteral("%d bloc trouvé");
    return localizedString(key, language).replace(QStringLiteral("%d"), QString::number(n));
}

QVariantMap content(const MinerEntry& entry, Language language) {
    return {
        // The widget's own name, upper-cased: "EARNINGS" as a key would read in English in
        // every language, French included.
        {"header", localizedString(QStringLiteral("Gains"), language).toUpper()},
        {"amount", amountText(entry)},
        {"amountColour", colors::brandSuccessText()},
        {"blocks", blockCountText(entry, language)},
    };
}

}  // namespace corvanta::widgets::earnings
