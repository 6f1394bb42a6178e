#include "corvanta/widgets/EarningsView.h"

#include "corvanta/widgets/WidgetColors.h"

namespace corvanta::widgets::earnings {

QString amountText(const MinerEntry& entry) {
    if (!entry.snapshot || entry.snapshot->totalSats == 0) return QStringLiteral("0.00 BTC");
    return QString::asprintf("%.8f BTC", static_cast<double>(entry.snapshot->totalSats) / 1e8);
}

QString blockCountText(const MinerEntry& entry) {
    const qint64 n = entry.snapshot ? entry.snapshot->blocksFound : 0;
    return n > 1 ? QStringLiteral("%1 blocs trouvés").arg(n)
                 : QStringLiteral("%1 bloc trouvé").arg(n);
}

QVariantMap content(const MinerEntry& entry, Language language) {
    return {
        {"header", localizedString(QStringLiteral("EARNINGS"), language)},
        {"amount", amountText(entry)},
        {"amountColour", colors::brandSuccessText()},
        {"blocks", blockCountText(entry)},
    };
}

}  // namespace corvanta::widgets::earnings
