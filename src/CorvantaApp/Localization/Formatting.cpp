#include "Localization/Formatting.h"

#include <cmath>

#include "Localization/Localization.h"
#include "corvanta/ledger/LedgerFigures.h"

namespace corvanta::Formatting {
namespace {

const QString kNone = QStringLiteral("—");

// Durations of 2^63 s or more (and infinities) have no integer to show.
constexpr double kDurationLimit = 9223372036854775808.0;

QString decimal(std::int64_t value) {
    return QString::number(value);
}

QString twoDigits(std::int64_t value) {
    return value < 10 ? QStringLiteral("0") + decimal(value) : decimal(value);
}

}  // namespace

QString fixed(double value, int decimals) {
    return QString::fromStdString(ledger::fixed(value, decimals));
}

QString bitcoin(std::int64_t sats) {
    if (sats == 0) return QStringLiteral("0.00 BTC");
    // Whole and fractional parts in integers: a double would lose the last satoshi of large
    // amounts.
    const std::uint64_t magnitude =
        sats < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(sats) : std::uint64_t(sats);
    QString fraction = QString::number(magnitude % 100'000'000);
    fraction.prepend(QString(8 - fraction.size(), u'0'));
    return (sats < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100'000'000) +
           u'.' + fraction + QStringLiteral(" BTC");
}

QString shortDuration(double seconds) {
    const double s = std::isnan(seconds) || seconds < 0 ? 0 : seconds;
    if (s >= kDurationLimit) return kNone;
    const auto n = static_cast<std::int64_t>(s);
    if (n < 60) return L("%d s", decimal(n));
    if (n < 3600) return L("%d min", decimal(n / 60));
    return L("%d h", decimal(n / 3600));
}

QString uptime(double seconds) {
    if (!(seconds >= 0) || seconds >= kDurationLimit) return kNone;
    const auto n = static_cast<std::int64_t>(seconds);
    return decimal(n / 3600) + QStringLiteral("h ") + twoDigits((n / 60) % 60) + u'm';
}

QString oneIn(double n) {
    if (!(n >= 1) || std::isinf(n)) return kNone;
    if (n < 1e3) return L("1 sur %@", fixed(n, 0));
    const auto& localization = Localization::shared();
    if (n >= 1e12) return fill(localization.string("1 sur %@ billions"), {fixed(n / 1e12, 1)});
    if (n >= 1e9) return fill(localization.string("1 sur %@ milliards"), {fixed(n / 1e9, 1)});
    if (n >= 1e6) return fill(localization.string("1 sur %@ millions"), {fixed(n / 1e6, 1)});
    return fill(localization.string("1 sur %@ milliers"), {fixed(n / 1e3, 1)});
}

QString bestAttempt(double share) {
    if (share > 0 && share <= 1) {
        return Localization::shared().string(QStringLiteral("Cible du réseau atteinte"));
    }
    return oneIn(share);
}

QString compactDifficulty(double d) {
    return QString::fromStdString(ledger::compactDifficulty(d));
}

QString hashCount(std::uint64_t count) {
    return QString::fromStdString(ledger::hashCount(count));
}

QString integer(std::int64_t value) {
    const QString digits = QString::number(value);
    const qsizetype sign = value < 0 ? 1 : 0;
    QString grouped = digits.left(sign);
    for (qsizetype i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) grouped += u',';
        grouped += digits[i];
    }
    return grouped;
}

QString time(const QDateTime& moment) {
    const QTime local = moment.toLocalTime().time();
    return twoDigits(local.hour()) + u':' + twoDigits(local.minute()) + u':' +
           twoDigits(local.second());
}

}  // namespace corvanta::Formatting
