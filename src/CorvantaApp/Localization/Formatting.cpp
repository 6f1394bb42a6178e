#include "Localization/Formatting.h"

#include <array>
#include <charconv>
#include <cmath>

#include "Localization/Localization.h"

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
    std::array<char, 400> buffer{};  // enough for any finite double in fixed notation
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{}) return kNone;
    return QString::fromLatin1(buffer.data(), end - buffer.data());
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
    if (!(d > 0) || std::isinf(d)) return kNone;
    if (d < 1e3) return fixed(d, 2);
    static constexpr std::array<std::pair<double, char>, 4> suffixes = {
        {{1e12, 'T'}, {1e9, 'G'}, {1e6, 'M'}, {1e3, 'K'}}};
    for (const auto& [threshold, suffix] : suffixes) {
        if (d >= threshold) return fixed(d / threshold, 2) + u' ' + QLatin1Char(suffix);
    }
    return fixed(d, 2);
}

QString hashCount(std::uint64_t count) {
    static constexpr std::array<std::pair<std::uint64_t, char>, 6> suffixes = {
        {{1'000'000'000'000'000'000u, 'E'},
         {1'000'000'000'000'000u, 'P'},
         {1'000'000'000'000u, 'T'},
         {1'000'000'000u, 'G'},
         {1'000'000u, 'M'},
         {1'000u, 'k'}}};
    for (const auto& [threshold, suffix] : suffixes) {
        if (count >= threshold) {
            return fixed(static_cast<double>(count) / static_cast<double>(threshold), 2) + u' ' +
                   QLatin1Char(suffix);
        }
    }
    return QString::number(count);
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
