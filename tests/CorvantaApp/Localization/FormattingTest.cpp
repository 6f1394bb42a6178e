#include <gtest/gtest.h>

#include <QTimeZone>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

#include "LanguageScope.h"
#include "Localization/Formatting.h"

namespace corvanta {
namespace {

using namespace Formatting;
using testing::LanguageScope;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every boundary of every formatter, in French (the keys as written).
void expectBoundaries() {
    const LanguageScope french(AppLanguage::french);
    struct Case {
        QString actual;
        const char* expected;
    };
    const Case cases[] = {
        {bitcoin(0), "0.00 BTC"},
        {bitcoin(1), "0.00000001 BTC"},
        {bitcoin(-1), "-0.00000001 BTC"},
        {bitcoin(312'500'000), "3.12500000 BTC"},
        {bitcoin(2'099'999'997'690'000), "20999999.97690000 BTC"},
        {bitcoin(std::numeric_limits<std::int64_t>::min()), "-92233720368.54775808 BTC"},
        {shortDuration(59.9), "59 s"},
        {shortDuration(60), "1 min"},
        {shortDuration(3599), "59 min"},
        {shortDuration(3600), "1 h"},
        {shortDuration(-5), "0 s"},
        {shortDuration(kNaN), "0 s"},
        {shortDuration(kInfinity), "—"},
        {shortDuration(9223372036854775808.0), "—"},
        {shortDuration(9223372036854774784.0), "2562047788015215 h"},
        {uptime(-1), "—"},
        {uptime(0), "0h 00m"},
        {uptime(3725), "1h 02m"},
        {uptime(90000), "25h 00m"},
        {uptime(kNaN), "—"},
        {uptime(kInfinity), "—"},
        {uptime(1e19), "—"},
        {oneIn(0.5), "—"},
        {oneIn(kInfinity), "—"},
        {oneIn(kNaN), "—"},
        {oneIn(1), "1 sur 1"},
        {oneIn(999.4), "1 sur 999"},
        {oneIn(1000), "1 sur 1.0 milliers"},
        {oneIn(2'500'000), "1 sur 2.5 millions"},
        {oneIn(7.25e9), "1 sur 7.2 milliards"},
        {oneIn(3e15), "1 sur 3000.0 billions"},
        // Once the best meets the network's target the share is 1 or less: said, never "—".
        {bestAttempt(0.0004), "Cible du réseau atteinte"},
        {bestAttempt(1), "Cible du réseau atteinte"},
        {bestAttempt(2'500'000), "1 sur 2.5 millions"},
        {bestAttempt(0), "—"},
        {bestAttempt(kNaN), "—"},
        {compactDifficulty(0), "—"},
        {compactDifficulty(-3), "—"},
        {compactDifficulty(kInfinity), "—"},
        {compactDifficulty(kNaN), "—"},
        {compactDifficulty(3.14159), "3.14"},
        {compactDifficulty(999.999), "1000.00"},
        {compactDifficulty(1000), "1.00 K"},
        {compactDifficulty(123'456'789), "123.46 M"},
        {compactDifficulty(1.1e14), "110.00 T"},
        {hashCount(0), "0"},
        {hashCount(999), "999"},
        {hashCount(1500), "1.50 k"},
        {hashCount(4'294'967'296), "4.29 G"},
        {hashCount(999'999'999'999'999'999), "1000.00 P"},
        {hashCount(1'000'000'000'000'000'000), "1.00 E"},
        {hashCount(std::numeric_limits<std::uint64_t>::max()), "18.45 E"},
        {integer(0), "0"},
        {integer(999), "999"},
        {integer(1'234'567), "1,234,567"},
        {integer(-1'000), "-1,000"},
        {integer(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, QString::fromUtf8(c.expected));
}

TEST(Formatting, AtEveryBoundary) {
    expectBoundaries();
}

TEST(Formatting, TheSameUnderAFrenchCLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr)
        << "the fr_FR.UTF-8 locale is missing (scripts/setup makes it)";
    // The locale is really in force: printf would write a comma.
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.2f", 3.14159);
    EXPECT_STREQ(buffer, "3,14");
    expectBoundaries();
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(Formatting, ClockTimesAreLocal) {
    const QDateTime moment(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::LocalTime);
    EXPECT_EQ(Formatting::time(moment), "05:06:07");
    EXPECT_EQ(Formatting::time(moment.toUTC()), "05:06:07");
}

}  // namespace
}  // namespace corvanta
