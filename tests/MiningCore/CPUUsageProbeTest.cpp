#include "corvanta/mining/CPUUsageProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace corvanta {
namespace {

using namespace std::chrono;

// A machine whose /proc/stat text, process time and clock the test sets between samples.
struct FakeMachine {
    std::string procStat;
    double processSeconds = 0;
    steady_clock::time_point now{};

    CPUUsageProbe::Readers readers() {
        return {
            [this] { return parseSystemTicks(procStat); },
            [this] { return processSeconds; },
            [this] { return now; },
        };
    }
};

// user nice system idle iowait irq softirq steal guest guest_nice
std::string stat(int user, int nice, int system, int idle, int iowait = 0, int irq = 0,
                 int softirq = 0, int steal = 0, int guest = 0) {
    return "cpu  " + std::to_string(user) + " " + std::to_string(nice) + " " +
           std::to_string(system) + " " + std::to_string(idle) + " " + std::to_string(iowait) +
           " " + std::to_string(irq) + " " + std::to_string(softirq) + " " + std::to_string(steal) +
           " " + std::to_string(guest) + " 0\n" +
           "cpu0 1 2 3 4 5 6 7 8 9 10\nintr 12345 0 0\nctxt 999\n";
}

TEST(SystemTicks, CountIrqAndStealAsBusyIowaitAsIdleAndGuestOnlyOnce) {
    const auto ticks = parseSystemTicks("intr 1 2\n" + stat(100, 10, 50, 800, 40, 5, 3, 2, 60));
    ASSERT_TRUE(ticks);
    EXPECT_DOUBLE_EQ(ticks->busy, 100 + 10 + 50 + 5 + 3 + 2);
    EXPECT_DOUBLE_EQ(ticks->total, 170 + 800 + 40);

    // A kernel that gives only the first four counters.
    const auto old = parseSystemTicks("cpu 1 2 3 4\n");
    ASSERT_TRUE(old);
    EXPECT_DOUBLE_EQ(old->busy, 6);
    EXPECT_DOUBLE_EQ(old->total, 10);

    EXPECT_FALSE(parseSystemTicks(""));
    EXPECT_FALSE(parseSystemTicks("cpu0 1 2 3 4\n"));
    EXPECT_FALSE(parseSystemTicks("cpu 1 2 3\n"));
    EXPECT_FALSE(parseSystemTicks("cpu 1 2 x 4\n"));
    EXPECT_FALSE(parseSystemTicks("cpu 1 2 -3 4\n"));
}

TEST(CPUUsageProbe, FirstSampleIsABaselineThenFractionsFollowTheDeltas) {
    FakeMachine machine;
    CPUUsageProbe probe(4, machine.readers());

    machine.procStat = stat(1000, 0, 0, 3000);
    EXPECT_FALSE(probe.sample());

    // One second later: 40 of 100 ticks busy, and 2 CPU seconds used over 4 cores.
    machine.procStat = stat(1030, 0, 10, 3060);
    machine.processSeconds = 2;
    machine.now += seconds(1);
    const auto sample = probe.sample();
    ASSERT_TRUE(sample);
    EXPECT_DOUBLE_EQ(sample->systemFraction, 0.4);
    EXPECT_DOUBLE_EQ(sample->processFraction, 0.5);

    // All cores fully used gives 1, not the core count.
    machine.procStat = stat(1130, 0, 10, 3060);
    machine.processSeconds = 6;
    machine.now += seconds(1);
    EXPECT_EQ(probe.sample(), (CPUUsageSample{1.0, 1.0}));
}

TEST(CPUUsageProbe, NoTickOrNoTimeGivesNothingButMovesTheBaseline) {
    FakeMachine machine;
    CPUUsageProbe probe(1, machine.readers());
    machine.procStat = stat(10, 0, 0, 90);
    EXPECT_FALSE(probe.sample());

    machine.now += seconds(1);
    EXPECT_FALSE(probe.sample()) << "no tick passed";

    machine.procStat = stat(20, 0, 0, 180);
    EXPECT_FALSE(probe.sample()) << "no time passed";

    // Measured from the previous call, not the first.
    machine.procStat = stat(120, 0, 0, 180);
    machine.now += seconds(1);
    const auto sample = probe.sample();
    ASSERT_TRUE(sample);
    EXPECT_DOUBLE_EQ(sample->systemFraction, 1.0);
}

TEST(CPUUsageProbe, UnreadableCountersLeaveTheBaselineAlone) {
    FakeMachine machine;
    CPUUsageProbe probe(1, machine.readers());
    machine.procStat = stat(0, 0, 0, 100);
    EXPECT_FALSE(probe.sample());

    machine.procStat = "garbage";
    machine.now += seconds(1);
    EXPECT_FALSE(probe.sample());

    machine.procStat = stat(50, 0, 0, 150);
    machine.now += seconds(1);
    const auto sample = probe.sample();
    ASSERT_TRUE(sample);
    EXPECT_DOUBLE_EQ(sample->systemFraction, 0.5);
}

TEST(CPUUsageProbe, CounterResetsAndBadCoreCountsStayInRange) {
    FakeMachine machine;
    CPUUsageProbe probe(0, machine.readers());  // treated as one core
    machine.procStat = stat(500, 0, 0, 500);
    machine.processSeconds = 10;
    EXPECT_FALSE(probe.sample());

    // Busy went backwards while total moved on; process time went backwards too.
    machine.procStat = stat(100, 0, 0, 1000);
    machine.processSeconds = 5;
    machine.now += seconds(1);
    EXPECT_EQ(probe.sample(), (CPUUsageSample{0.0, 0.0}));

    machine.procStat = stat(100, 0, 0, 1100);
    machine.processSeconds = 5.5;
    machine.now += seconds(1);
    const auto sample = probe.sample();
    ASSERT_TRUE(sample);
    EXPECT_DOUBLE_EQ(sample->processFraction, 0.5);
}

TEST(CPUUsageProbe, LiveReadersGiveFractionsInRange) {
    CPUUsageProbe probe(2);
    probe.sample();
    // Burn a little CPU so that ticks and time pass without sleeping.
    std::optional<CPUUsageSample> sample;
    volatile double sink = 0;
    for (int round = 0; round < 2000 && !sample; ++round) {
        for (int i = 0; i < 100000; ++i) sink = sink + 1.0 / (i + 1);
        sample = probe.sample();
    }
    ASSERT_TRUE(sample);
    EXPECT_GE(sample->systemFraction, 0.0);
    EXPECT_LE(sample->systemFraction, 1.0);
    EXPECT_GE(sample->processFraction, 0.0);
    EXPECT_LE(sample->processFraction, 1.0);
}

}  // namespace
}  // namespace corvanta
