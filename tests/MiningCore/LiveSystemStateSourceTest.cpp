#include "corvanta/mining/LiveSystemStateSource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "TestSupport.h"

namespace corvanta {
namespace {

namespace fs = std::filesystem;
using Attributes = std::map<std::string, std::string>;

// A fake /sys and /proc in a temporary folder.
class FakeSystemTree : public ::testing::Test {
  protected:
    void put(const fs::path& folder, const Attributes& attributes) {
        fs::create_directories(root_ / folder);
        for (const auto& [name, value] : attributes)
            std::ofstream(root_ / folder / name) << value << "\n";
    }
    LiveSystemStateSource source() const {
        return LiveSystemStateSource(root_ / "sys", root_ / "proc");
    }
    void clear() { fs::remove_all(root_ / "sys/class"); }

  private:
    testing::TempDir dir_;
    const fs::path& root_ = dir_.path();
};

TEST_F(FakeSystemTree, PowerSource) {
    using enum PowerSourceState;
    struct Supply {
        std::string name;
        Attributes attributes;
    };
    struct Row {
        std::vector<Supply> supplies;
        PowerSourceState expected;
    };
    const Supply discharging{"BAT0", {{"type", "Battery"}, {"status", "Discharging"}}};
    const Supply acOffline{"AC", {{"type", "Mains"}, {"online", "0"}}};
    const Row rows[] = {
        {{}, ac},  // a desktop or a virtual machine
        {{acOffline, discharging}, battery},
        {{acOffline,
          {"BAT1", {{"type", "Battery"}, {"status", "Discharging"}, {"scope", "System"}}}},
         battery},
        {{discharging, {"ucsi-source-psy-USBC000:001", {{"type", "USB"}, {"online", "1"}}}}, ac},
        {{acOffline, {"BAT0", {{"type", "Battery"}, {"status", "Full"}}}}, ac},
        {{acOffline, {"BAT0", {{"type", "Battery"}, {"status", "Charging"}}}}, ac},
        // A wireless mouse's battery says nothing about what powers the machine.
        {{{"hidpp_battery_0",
           {{"type", "Battery"}, {"status", "Discharging"}, {"scope", "Device"}}}},
         ac},
        {{{"AC", {{"type", "Mains"}, {"online", "1"}}},
          {"kbd", {{"type", "Mains"}, {"online", "0"}, {"scope", "Device"}}}},
         ac},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
        clear();
        for (const auto& supply : row.supplies)
            put("sys/class/power_supply/" + supply.name, supply.attributes);
        EXPECT_EQ(source().currentPowerSourceState(), row.expected);
    }
}

TEST_F(FakeSystemTree, ThermalZonesAgainstTheirTripPoints) {
    EXPECT_EQ(source().currentThermalState(), ThermalState::nominal) << "no sensor";
    const auto zone = [&](const std::string& temp) {
        put("sys/class/thermal/thermal_zone0", {{"type", "x86_pkg_temp"},
                                                {"temp", temp},
                                                {"trip_point_0_type", "active"},
                                                {"trip_point_0_temp", "50000"},
                                                {"trip_point_1_type", "passive"},
                                                {"trip_point_1_temp", "85000"},
                                                {"trip_point_2_type", "critical"},
                                                {"trip_point_2_temp", "105000"}});
        return source().currentThermalState();
    };
    EXPECT_EQ(zone("60000"), ThermalState::nominal) << "a fan trip is no warning";
    EXPECT_EQ(zone("75000"), ThermalState::fair);
    EXPECT_EQ(zone("85000"), ThermalState::serious);
    EXPECT_EQ(zone("100000"), ThermalState::critical) << "5 °C before the shutdown point";
    EXPECT_EQ(zone("unreadable"), ThermalState::nominal);

    // A hot trip is critical; with only a shutdown point, serious comes 15 °C before it.
    put("sys/class/thermal/thermal_zone0", {{"temp", "91000"},
                                            {"trip_point_0_type", "hot"},
                                            {"trip_point_0_temp", "90000"},
                                            {"trip_point_1_type", "active"},
                                            {"trip_point_2_type", "active"}});
    EXPECT_EQ(source().currentThermalState(), ThermalState::critical);
    put("sys/class/thermal/thermal_zone0",
        {{"temp", "105000"}, {"trip_point_0_type", "critical"}, {"trip_point_0_temp", "120000"}});
    EXPECT_EQ(source().currentThermalState(), ThermalState::serious);
    // Disabled trip points read as 0 or below: no limit.
    put("sys/class/thermal/thermal_zone0", {{"trip_point_0_temp", "-273200"}});
    EXPECT_EQ(source().currentThermalState(), ThermalState::nominal);
}

TEST_F(FakeSystemTree, HwmonSensorsCountAndTheWorstSensorWins) {
    put("sys/class/thermal/thermal_zone0",
        {{"temp", "30000"}, {"trip_point_0_type", "critical"}, {"trip_point_0_temp", "100000"}});
    put("sys/class/hwmon/hwmon2", {{"temp1_input", "60000"},
                                   {"temp1_max", "80000"},
                                   {"temp1_crit", "100000"},
                                   {"temp2_input", "81000"},
                                   {"temp2_max", "80000"},
                                   {"temp3_input", "99000"}});  // no limits of its own
    EXPECT_EQ(source().currentThermalState(), ThermalState::serious);
    put("sys/class/hwmon/hwmon5", {{"temp1_input", "96000"}, {"temp1_crit", "100000"}});
    EXPECT_EQ(source().currentThermalState(), ThermalState::critical);
}

TEST_F(FakeSystemTree, LoadAverageIsTheFirstFieldOfLoadavg) {
    EXPECT_EQ(source().currentLoadAverage(), 0.0) << "missing file";
    put("proc", {{"loadavg", "3.25 2.10 1.05 2/745 98765"}});
    EXPECT_DOUBLE_EQ(source().currentLoadAverage(), 3.25);
    put("proc", {{"loadavg", "garbage"}});
    EXPECT_EQ(source().currentLoadAverage(), 0.0);
}

}  // namespace
}  // namespace corvanta
