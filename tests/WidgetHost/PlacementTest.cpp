// No widget ever covers another: the free-spot search, and the host's resizes, moves, additions
// and screen changes that use it, each stored at once.
#include <QTest>

#include "HostFixture.h"
#include "corvanta/host/Placement.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::host {
namespace {

using widgetkit::WidgetFamily;

const QSize small(170, 170), medium(364, 170);

TEST(NearestFreeSpot, KeepsAFreePlaceElseTakesTheClosestBesideANeighbourOrAnEdge) {
    const QRect area(0, 0, 1280, 800);
    EXPECT_EQ(nearestFreeSpot({24, 24}, medium, area, {}), QPoint(24, 24));
    // Beside a neighbour: the closest side with the gap kept.
    const std::vector<QRect> neighbour{QRect(300, 24, 170, 170)};
    EXPECT_EQ(nearestFreeSpot({24, 24}, medium, area, neighbour), QPoint(24, 210));
    EXPECT_EQ(nearestFreeSpot({400, 30}, small, area, neighbour), QPoint(486, 30));
    // Pulled inside the area.
    EXPECT_EQ(nearestFreeSpot({1200, -40}, small, area, {}), QPoint(1110, 0));
    // Crowded: the one gap between neighbours is found, at its corner nearest the wanted point.
    std::vector<QRect> crowd;
    for (int x = 0; x < 1280; x += 200) {
        for (int y = 0; y < 800; y += 200) {
            if (x != 400 || y != 200) crowd.emplace_back(x, y, 170, 170);
        }
    }
    const auto gap = nearestFreeSpot({0, 0}, small, area, crowd);
    ASSERT_TRUE(gap);
    EXPECT_TRUE(isFree(QRect(*gap, small), crowd));
    EXPECT_EQ(*gap, QPoint(386, 186));
    // No room at all.
    crowd.emplace_back(400, 200, 170, 170);
    EXPECT_EQ(nearestFreeSpot({0, 0}, small, area, crowd), std::nullopt);
    EXPECT_EQ(nearestFreeSpot({0, 0}, QSize(2000, 10), area, {}), std::nullopt);
}

bool anyOverlap(const WidgetHost& host) {
    const auto& shown = host.shown();
    for (std::size_t a = 0; a < shown.size(); ++a) {
        for (std::size_t b = a + 1; b < shown.size(); ++b) {
            if (shown[a].window->geometry().intersects(shown[b].window->geometry())) return true;
        }
    }
    return false;
}

class Placing : public Host {};

TEST_F(Placing, EachWidgetInEachSizeBesideANeighbourNeverCoversIt) {
    for (const char* kind : {"corvanta.widget.mining", "corvanta.widget.earnings"}) {
        for (const char* neighbourFamily : {"small", "medium"}) {
            const QString list = QStringLiteral(R"({"instances": [
                    {"kind": "%1", "family": "small", "x": 40, "y": 40},
                    {"kind": "corvanta.widget.earnings", "family": "%2", "x": 226, "y": 40}]})")
                                     .arg(QLatin1String(kind), QLatin1String(neighbourFamily));
            testing::writeText(file_, list.toStdString());
            const auto host = startHost();
            ASSERT_EQ(host->shown().size(), 2u);
            for (const WidgetFamily family : {WidgetFamily::systemMedium, WidgetFamily::systemSmall,
                                              WidgetFamily::systemMedium}) {
                ASSERT_TRUE(host->resize(0, family));
                EXPECT_FALSE(anyOverlap(*host)) << kind << " next to a " << neighbourFamily;
                const QRect placed = host->shown()[0].window->geometry();
                EXPECT_EQ(storedInstances(file_).value(0),
                          QStringLiteral("%1 %2 %3,%4")
                              .arg(QLatin1String(kind), widgetkit::familyName(family))
                              .arg(placed.x())
                              .arg(placed.y()))
                    << "stored at once";
            }
            EXPECT_EQ(host->shown()[1].window->position(), QPoint(226, 40))
                << "the neighbour stays where the user put it";
        }
    }
}

TEST_F(Placing, AMoveThatEndsOnAnotherWidgetGoesToTheNearestFreeSpot) {
    testing::writeText(file_, R"({"instances": [
        {"kind": "corvanta.widget.mining", "family": "small", "x": 40, "y": 40},
        {"kind": "corvanta.widget.earnings", "family": "small", "x": 400, "y": 40}]})");
    const auto host = startHost();
    ASSERT_EQ(host->shown().size(), 2u);
    host->shown()[1].window->setPosition(100, 60);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return storedInstances(file_).value(1) != "corvanta.widget.earnings small 400,40";
    }));
    EXPECT_EQ(storedInstances(file_).value(1), "corvanta.widget.earnings small 226,60");
    EXPECT_EQ(host->shown()[1].window->position(), QPoint(226, 60));
    EXPECT_FALSE(anyOverlap(*host));
}

TEST_F(Placing, AWidgetLeftOffEveryScreenComesBackToAFreeSpotOfThePrimaryOne) {
    testing::writeText(file_, R"({"instances": [
        {"kind": "corvanta.widget.mining", "family": "small", "x": 24, "y": 24},
        {"kind": "corvanta.widget.earnings", "family": "medium", "x": 6000, "y": 4000}]})");
    const auto host = startHost();
    ASSERT_EQ(host->shown().size(), 2u);
    host->fitToScreens();
    const QRect moved = host->shown()[1].window->geometry();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(moved)) << moved.x();
    EXPECT_FALSE(anyOverlap(*host));
    EXPECT_EQ(
        storedInstances(file_).value(1),
        QStringLiteral("corvanta.widget.earnings medium %1,%2").arg(moved.x()).arg(moved.y()));
    EXPECT_EQ(host->shown()[0].window->position(), QPoint(24, 24));
}

TEST_F(Placing, AnAdditionWithNoRoomLeftIsRefusedNotStackedOnAnother) {
    json::Value list = json::Value::array();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (int y = area.top(); y + 170 <= area.bottom(); y += 186) {
        for (int x = area.left(); x + 170 <= area.right(); x += 186) {
            list.push_back(
                {{"kind", "corvanta.widget.earnings"}, {"family", "small"}, {"x", x}, {"y", y}});
        }
    }
    testing::writeText(file_, json::dump(json::Value{{"instances", list}}));
    const auto host = startHost();
    const auto before = host->shown().size();
    ASSERT_GT(before, 1u);
    EXPECT_FALSE(host->add("corvanta.widget.mining", WidgetFamily::systemMedium));
    EXPECT_EQ(host->shown().size(), before);
    EXPECT_FALSE(anyOverlap(*host));
}

}  // namespace
}  // namespace corvanta::host
