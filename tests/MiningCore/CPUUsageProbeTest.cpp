#include "corvanta/mining/CPUUsageProbe.h"

#include <gtest/gtest.h>

#include <string>

namespace corvanta {
namespace {

using namespace std::chrono;

// /proc/stat with the given aggregate counters: user nice system idle iowait irq softirq steal
// guest guest_nice.
std::string stat(const std::string& counters) {
    return "cpu  " + counters + "\ncpu0 1 2 3 4 5 6 7 8 9 10\nintr 12345 0 0\nctxt 999\n";
}

// A machine whose /proc/stat text, process time and clock the test sets between samples.
struct FakeMachine {
    std::string procStat;
    double processSeconds = 0;
    steady_clock::time_point now{};

    CPUUsageProbe::Readers readers() {
        return {[this] { return parseSystemTicks(procStat); }, [this] { return processSeconds; },
                [this] { return now; }};
    }
    std::optional<CPUUsageSample> sampleAfter(CPUUsageProbe& probe, seconds elapsed,
                                              const std::string& counters, double process) {
        now += elapsed;
        procStat = counters.empty() ? "garbage" : stat(counters);
        processSeconds = process;
        return probe.sample();
    }
};

TEST(SystemTicks, CountIrqAndStealAsBusyIowaitAsIdleAndGuestOnlyOnce) {
    const auto ticks = parseSystemTicks("intr 1 2\n" + stat("100 10 50 800 40 5 3 2 60 7"));
    ASSERT_TRUE(ticks);
    EXPECT_DOUBLE_EQ(ticks->busy, 100 + 10 + 50 + 5 + 3 + 2);
    EXPECT_DOUBLE_EQ(ticks->total, 170 + 800 + 40);

    const auto old = parseSystemTicks("cpu 1 2 3 4\n");  // only the first four counters
    ASSERT_TRUE(old);
    EXPECT_DOUBLE_EQ(old->total, 10);

    for (const char* bad : {"", "cpu0 1 2 3 4\n", "cpu 1 2 3\n", "cpu 1 2 x 4\n", "cpu 1 -2 3 4"}) {
        EXPECT_FALSE(parseSystemTicks(bad)) << bad;
    }
}

TEST(CPUUsageProbe, FractionsOfTheIntervalSinceThePreviousCall) {
    FakeMachine machine;
    CPUUsageProbe probe(4, machine.readers());
    EXPECT_FALSE(machine.sampleAfter(probe, 0s, "1000 0 0 3000", 0)) << "first call";

    // 40 of 100 ticks busy, and 2 CPU seconds in 1 s over 4 cores.
    EXPECT_EQ(machine.sampleAfter(probe, 1s, "1030 0 10 3060", 2), (CPUUsageSample{0.4, 0.5}));
    // All cores fully used gives 1, not the core count.
    EXPECT_EQ(machine.sampleAfter(probe, 1s, "1130 0 10 3060", 6), (CPUUsageSample{1, 1}));

    // No tick, or no time: nothing, but the baseline moves.
    EXPECT_FALSE(machine.sampleAfter(probe, 1s, "1130 0 10 3060", 6));
    EXPECT_FALSE(machine.sampleAfter(probe, 0s, "1140 0 10 3150", 6));
    // Unreadable counters: nothing, and the next sample measures both seconds.
    EXPECT_FALSE(machine.sampleAfter(probe, 1s, "", 6));
    EXPECT_EQ(machine.sampleAfter(probe, 1s, "1190 0 10 3200", 7), (CPUUsageSample{0.5, 0.125}));
}

TEST(CPUUsageProbe, CounterResetsAndBadCoreCountsStayInRange) {
    FakeMachine machine;
    CPUUsageProbe probe(0, machine.readers());  // one core
    machine.sampleAfter(probe, 0s, "500 0 0 500", 10);
    // Busy and process time went backwards while the total moved on.
    EXPECT_EQ(machine.sampleAfter(probe, 1s, "100 0 0 1000", 5), (CPUUsageSample{0, 0}));
    EXPECT_EQ(machine.sampleAfter(probe, 1s, "100 0 0 1100", 5.5), (CPUUsageSample{0, 0.5}));
}

}  // namespace
}  // namespace corvanta
