#include "corvanta/mining/LiveSystemStateSource.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace corvanta {
namespace {

namespace fs = std::filesystem;

// A fake /sys and /proc in a temporary folder, removed at the end of the test.
class FakeSystemTree : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("corvanta-sysfs-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(std::random_device{}()));
        fs::create_directories(root_ / "sys" / "class");
        fs::create_directories(root_ / "proc");
    }
    void TearDown() override { fs::remove_all(root_); }

    void put(const fs::path& relative, const std::string& contents) {
        const auto path = root_ / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << contents << "\n";
    }
    void supply(const std::string& name, const std::string& type, const std::string& extra = "") {
        put("sys/class/power_supply/" + name + "/type", type);
        for (std::size_t start = 0; start < extra.size();) {
            const auto end = std::min(extra.find(';', start), extra.size());
            const auto item = extra.substr(start, end - start);
            const auto equals = item.find('=');
            put("sys/class/power_supply/" + name + "/" + item.substr(0, equals),
                item.substr(equals + 1));
            start = end + 1;
        }
    }
    LiveSystemStateSource source() const {
        return LiveSystemStateSource(root_ / "sys", root_ / "proc");
    }

  private:
    fs::path root_;
};

TEST_F(FakeSystemTree, NoPowerSupplyMeansMains) {
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);
}

TEST_F(FakeSystemTree, DischargingLaptopBatteryMeansBattery) {
    supply("AC", "Mains", "online=0");
    supply("BAT0", "Battery", "status=Discharging;scope=System");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::battery);

    // A battery without a scope attribute is the machine's own.
    supply("BAT0", "Battery", "status=Discharging");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::battery);
}

TEST_F(FakeSystemTree, OnlineExternalSupplyMeansMains) {
    supply("BAT0", "Battery", "status=Discharging");
    supply("ucsi-source-psy-USBC000:001", "USB", "online=1");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);
}

TEST_F(FakeSystemTree, ChargedOrChargingBatteryMeansMains) {
    supply("BAT0", "Battery", "status=Full");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);
    supply("BAT0", "Battery", "status=Charging");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);
}

TEST_F(FakeSystemTree, WirelessMouseBatteryIsIgnored) {
    // A desktop with a discharging wireless mouse.
    supply("hidpp_battery_0", "Battery", "status=Discharging;scope=Device");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);

    // A laptop on mains whose keyboard has a discharging battery and an offline charger.
    supply("AC", "Mains", "online=1");
    supply("kbd_charger", "Mains", "online=0;scope=Device");
    EXPECT_EQ(source().currentPowerSourceState(), PowerSourceState::ac);
}

TEST_F(FakeSystemTree, NoSensorMeansNominal) {
    EXPECT_EQ(source().currentThermalState(), ThermalState::nominal);
}

TEST_F(FakeSystemTree, ThermalZonesAreReadAgainstTheirTripPoints) {
    const auto zone = [&](const std::string& temp) {
        put("sys/class/thermal/thermal_zone0/type", "x86_pkg_temp");
        put("sys/class/thermal/thermal_zone0/temp", temp);
        put("sys/class/thermal/thermal_zone0/trip_point_0_type", "active");
        put("sys/class/thermal/thermal_zone0/trip_point_0_temp", "50000");
        put("sys/class/thermal/thermal_zone0/trip_point_1_type", "passive");
        put("sys/class/thermal/thermal_zone0/trip_point_1_temp", "85000");
        put("sys/class/thermal/thermal_zone0/trip_point_2_type", "critical");
        put("sys/class/thermal/thermal_zone0/trip_point_2_temp", "105000");
        return source().currentThermalState();
    };
    EXPECT_EQ(zone("60000"), ThermalState::nominal) << "an active (fan) trip is not a warning";
    EXPECT_EQ(zone("75000"), ThermalState::fair);
    EXPECT_EQ(zone("85000"), ThermalState::serious);
    EXPECT_EQ(zone("99999"), ThermalState::serious);
    EXPECT_EQ(zone("100000"), ThermalState::critical) << "before the shutdown point";
    EXPECT_EQ(zone("not a number"), ThermalState::nominal);
}

TEST_F(FakeSystemTree, HotTripAndAZoneWithOnlyAShutdownPoint) {
    put("sys/class/thermal/thermal_zone3/temp", "91000");
    put("sys/class/thermal/thermal_zone3/trip_point_0_type", "hot");
    put("sys/class/thermal/thermal_zone3/trip_point_0_temp", "90000");
    EXPECT_EQ(source().currentThermalState(), ThermalState::critical);

    // Only a shutdown trip at 120 °C: critical comes 5 °C before it, serious 10 °C before that.
    put("sys/class/thermal/thermal_zone3/trip_point_0_type", "critical");
    put("sys/class/thermal/thermal_zone3/trip_point_0_temp", "120000");
    put("sys/class/thermal/thermal_zone3/temp", "104000");
    EXPECT_EQ(source().currentThermalState(), ThermalState::fair);
    put("sys/class/thermal/thermal_zone3/temp", "105000");
    EXPECT_EQ(source().currentThermalState(), ThermalState::serious);

    // Disabled trip points (0 or negative) are no limits.
    put("sys/class/thermal/thermal_zone3/trip_point_0_temp", "-273200");
    EXPECT_EQ(source().currentThermalState(), ThermalState::nominal);
}

TEST_F(FakeSystemTree, HwmonSensorsCountAndTheWorstSensorWins) {
    put("sys/class/hwmon/hwmon2/name", "coretemp");
    put("sys/class/hwmon/hwmon2/temp1_input", "60000");
    put("sys/class/hwmon/hwmon2/temp1_max", "80000");
    put("sys/class/hwmon/hwmon2/temp1_crit", "100000");
    put("sys/class/hwmon/hwmon2/temp2_input", "81000");
    put("sys/class/hwmon/hwmon2/temp2_max", "80000");
    put("sys/class/hwmon/hwmon2/temp2_crit", "100000");
    put("sys/class/hwmon/hwmon2/temp3_input", "99000");  // no limits of its own
    EXPECT_EQ(source().currentThermalState(), ThermalState::serious);

    put("sys/class/hwmon/hwmon5/temp1_input", "96000");
    put("sys/class/hwmon/hwmon5/temp1_crit", "100000");
    EXPECT_EQ(source().currentThermalState(), ThermalState::critical);

    // A nominal thermal zone does not hide a hot hwmon sensor.
    put("sys/class/thermal/thermal_zone0/temp", "30000");
    put("sys/class/thermal/thermal_zone0/trip_point_0_type", "critical");
    put("sys/class/thermal/thermal_zone0/trip_point_0_temp", "100000");
    EXPECT_EQ(source().currentThermalState(), ThermalState::critical);
}

TEST_F(FakeSystemTree, LoadAverageIsTheFirstFieldOfLoadavg) {
    EXPECT_EQ(source().currentLoadAverage(), 0.0) << "missing file";
    put("proc/loadavg", "3.25 2.10 1.05 2/745 98765");
    EXPECT_DOUBLE_EQ(source().currentLoadAverage(), 3.25);
    put("proc/loadavg", "garbage");
    EXPECT_EQ(source().currentLoadAverage(), 0.0);
}

TEST(LiveSystemStateSource, ReadsThisMachineWithoutFailing) {
    LiveSystemStateSource live;
    EXPECT_GE(live.currentLoadAverage(), 0.0);
    (void)live.currentThermalState();
    (void)live.currentPowerSourceState();
}

}  // namespace
}  // namespace corvanta
