#include "corvanta/widgets/EarningsView.h"

#include "corvanta/widgets/WidgetColors.h"

namespace corvanta::widgets::earnings {

QString amountText(const MinerEntry& entry) {
    if (!entry.snapshot || entry.snapshot->totalSats == 0) return QStringLiteral("0.00 BTC");
    // Whole bitcoins and satoshis apart, as "%.8f" of the quotient writes them: a double would
    // round the satoshis of amounts past 2^53 of them.
    const qint64 sats = entry.snapshot->totalSats;
    const quint64 magnitude =
        sats < 0 ? 0 - static_cast<quint64>(sats) : static_cast<quint64>(sats);
    constexpr quint64 satsPerBitcoin = 100'000'000;
    return QStringLiteral("%1%2.%3 BTC")
        .arg(sats < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / satsPerBitcoin)
        .arg(magnitude % satsPerBitcoin, 8, 10, QLatin1Char('0'));
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
