#include <gtest/gtest.h>

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QTimeZone>
#include <cmath>
#include <limits>

#include "Dashboard/DashboardLogic.h"
#include "Dashboard/ScheduleGridItem.h"
#include "LanguageScope.h"

namespace corvanta {
namespace {

using testing::LanguageScope;

// What the views hand over: maps as QML builds them, undefined, dates, numbers too large or
// not finite for an integer.
TEST(DashboardLogic, ReadsWhatTheViewsHandOverWithoutTrusting) {
    LanguageScope fr(AppLanguage::french);
    DashboardLogic logic;
    logic.setFixedNow(1'700'000'000.0);
    EXPECT_EQ(logic.now(), 1'700'000'000);
    const QDateTime tip = QDateTime::fromSecsSinceEpoch(1'700'000'000 - 263, QTimeZone::utc());
    EXPECT_EQ(logic.pulse(tip, logic.now()).value("elapsed").toString(), "4m 23s");
    EXPECT_TRUE(logic.pulse(QVariant(), logic.now()).value("waiting").toBool());
    EXPECT_TRUE(std::isnan(logic.seconds(QVariant())));

    const QVariantMap chain{{"blocks", 870012}};
    EXPECT_EQ(logic.draws(870000, chain).value("count").toString(), "12");
    EXPECT_EQ(logic.draws(QVariant(), chain).value("count").toString(), "0");
    // A height that no integer holds is no height.
    EXPECT_EQ(logic.draws(std::numeric_limits<double>::quiet_NaN(), chain).value("count"), "0");
    EXPECT_EQ(logic.draws(1e30, chain).value("count").toString(), "0");

    const QVariantMap earnings{{"matureSats", 100}, {"immatureSats", 50}};
    EXPECT_EQ(logic.gainsAmount(earnings, true, 7), "0.00000150 BTC");
    EXPECT_EQ(logic.gainsAmount(earnings, false, 0), "0.00 BTC");
    EXPECT_EQ(logic.miniGainsValue(QVariant(), true, 12345), "0.00012345");
    EXPECT_EQ(logic.blocksFoundSubtitle(2), "2 blocs trouvés");
    EXPECT_EQ(logic.blocksFoundSubtitle(QVariant()), "0 bloc trouvé");

    const auto cpu =
        logic.machine(QVariantMap{{"systemFraction", 0.625}, {"processFraction", 0.004}});
    EXPECT_TRUE(cpu.value("sampled").toBool());
    EXPECT_EQ(cpu.value("busy").toString(), "Machine 63 %");
    EXPECT_EQ(cpu.value("value").toString(), "0 %");
    const auto none = logic.machine(QVariant());
    EXPECT_FALSE(none.value("sampled").toBool());
    EXPECT_FALSE(none.value("enclosing").isValid());
    EXPECT_EQ(none.value("value").toString(), "—");

    logic.setPerformanceCores(10);
    const auto picker = logic.picker(3, "balanced", false, false, 3.0, true);
    EXPECT_EQ(picker.value("lit").toString(), "eco");
    EXPECT_EQ(picker.value("throttle").toString(), "Régime réel : 3 workers sur 10");
    EXPECT_EQ(logic.picker(3, "balanced", false, false, -4, true).value("lit"), "balanced");
    EXPECT_EQ(logic.picker(99, "max", false, false, QVariant(), false).value("lit"), "max");

    const QVariantMap validated{{"kind", "validated"}, {"transactionCount", 12345}};
    const auto verdict = logic.candidate(validated);
    EXPECT_EQ(verdict.value("count").toString(), "12,345 transactions");
    EXPECT_EQ(logic.candidate(QVariant()).value("kind"), "none");
    EXPECT_EQ(logic.candidate(QVariantMap{{"kind", "other"}}).value("kind"), "none");

    const QVariantMap found{{"id", "x"}, {"height", 840000}, {"rewardSats", 0}};
    EXPECT_EQ(logic.blockFound(found).value("height").toString(), "Hauteur 840,000");
    EXPECT_EQ(logic.blockFound(found).value("reward").toString(), "0.00 BTC");
    EXPECT_EQ(logic.capitalized("MACHINE"), "Machine");
    EXPECT_EQ(logic.faded(QColor(0, 0, 0, 51), 0.5).alpha(), 26);
    EXPECT_EQ(logic.faded(Qt::red, std::numeric_limits<double>::quiet_NaN()).alpha(), 0);
}

// The grid as painted: one coloured cell per column in the row of its mode, grey elsewhere, the
// marker over the current slot.
TEST(ScheduleGridPainting, CellsFollowTheScheduleAndTheMarkerItsSlot) {
    ScheduleGridItem grid;
    grid.setSize(QSizeF(144 * 4, 5 * 17 + 4 * 3));
    QStringList schedule(144, QStringLiteral("balanced"));
    schedule[0] = QStringLiteral("off");
    grid.setProperty("schedule", schedule);
    grid.setProperty("currentSlot", 100);
    const QColor violet(120, 80, 220), grey(200, 200, 200), off(214, 210, 204), marker(0, 0, 0);
    grid.setProperty("balancedColor", violet);
    grid.setProperty("emptyColor", grey);
    grid.setProperty("offColor", off);
    grid.setProperty("markerColor", marker);
    grid.setProperty("hourColor", QColor(Qt::transparent));
    for (const char* name : {"smartColor", "maxColor", "ecoColor"}) {
        grid.setProperty(name, QColor(1, 2, 3));
    }
    QImage image(grid.size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    grid.paint(&painter);
    painter.end();
    const auto cell = [&](int slot, int row) {
        return image.pixelColor(slot * 4 + 2, row * 20 + 8);
    };
    EXPECT_EQ(cell(10, 2), violet);  // balanced row
    EXPECT_EQ(cell(10, 0), grey);
    EXPECT_EQ(cell(10, 4), grey);
    EXPECT_EQ(cell(0, 4), off);
    EXPECT_EQ(cell(0, 2), grey);
    // The gap under a row stays unpainted; the marker crosses it at slot 100.
    EXPECT_EQ(image.pixelColor(10 * 4 + 2, 18), QColor(Qt::white));
    const QColor atMarker = image.pixelColor(100 * 4 + 2, 18);
    EXPECT_LT(atMarker.red(), 200);
}

}  // namespace
}  // namespace corvanta
