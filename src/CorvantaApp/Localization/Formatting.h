#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace corvanta::Formatting {

// Display texts of amounts, durations and counts. Numbers always use a point as the decimal
// separator, whatever the C locale (the application sets it from the environment); the words go
// through the translation table. A value that cannot be shown is "—".

// "0.00 BTC", else the exact amount with eight decimals: "3.12500000 BTC", "-0.00000001 BTC".
QString bitcoin(std::int64_t sats);
// "%d s", "%d min" or "%d h", truncated; negative or NaN counts as 0.
QString shortDuration(double seconds);
// "1h 02m"; negative or non-finite gives "—".
QString uptime(double seconds);
// "1 sur 999", "1 sur 2.5 millions"…; below 1 or non-finite gives "—".
QString oneIn(double n);
// The best attempt as a share of the network's difficulty: one-in-N while below it; once the
// best meets the network target (a share of 1 or less) a phrase that says so, never "—".
QString bestAttempt(double share);
// "123.46 M"; not above 0 or non-finite gives "—".
QString compactDifficulty(double d);
// "999", "1.50 k", "4.29 G".
QString hashCount(std::uint64_t count);
// Grouped with ",": "1,234,567".
QString integer(std::int64_t value);
// "HH:mm:ss" in local time.
QString time(const QDateTime& moment);

// `value` rounded to `decimals` places, as "%.Nf" writes it in the C locale.
QString fixed(double value, int decimals);

}  // namespace corvanta::Formatting
