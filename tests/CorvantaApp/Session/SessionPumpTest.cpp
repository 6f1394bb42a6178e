// The session's pure rules and its event pump, without a node.
#include <gtest/gtest.h>

#include <thread>

#include "AppTestEnvironment.h"
#include "Session/EventPump.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A flood from several threads: bursts at most once per interval, none waiting much longer than
// one, every value applied once and in each thread's order, and a final value applied at once.
TEST(EventPump, AFloodIsAppliedInBurstsNoCloserThanTheIntervalAndNoneWaitsLonger) {
    struct Value {
        int thread = 0;
        int index = 0;
        Clock::time_point pushed;
        bool final = false;
    };
    QObject context;
    std::vector<Clock::time_point> flushes;
    std::vector<Value> applied;
    Clock::duration worstWait{};
    EventPump<Value> pump(
        &context, 100ms,
        [&](std::vector<Value>& burst) {
            const auto at = Clock::now();
            flushes.push_back(at);
            for (const auto& value : burst) {
                worstWait = std::max(worstWait, at - value.pushed);
                applied.push_back(value);
            }
        },
        [](const Value& value) { return value.final; });

    constexpr int threads = 4, perThread = 2'000;
    std::vector<std::jthread> producers;
    for (int t = 0; t < threads; ++t) {
        producers.emplace_back([&pump, t] {
            for (int i = 0; i < perThread; ++i) {
                pump.push({t, i, Clock::now(), false});
                if (i % 100 == 0) std::this_thread::sleep_for(5ms);
            }
        });
    }
    ASSERT_TRUE(waitUntil([&] { return applied.size() == threads * perThread; }, 20'000));
    for (auto& producer : producers) producer.join();

    for (std::size_t i = 1; i < flushes.size(); ++i) {
        // Measured when the burst is applied, a little after the pump took its time: a loaded
        // machine may delay one application more than the next.
        EXPECT_GE(flushes[i] - flushes[i - 1], 90ms) << "flush " << i;
    }
    // Generous for a loaded machine; the fault this guards against holds values indefinitely.
    EXPECT_LT(worstWait, 400ms);
    std::vector<int> next(threads, 0);
    for (const auto& value : applied) EXPECT_EQ(value.index, next[value.thread]++);

    // The end is applied as soon as it arrives, interval or not.
    const auto before = flushes.size();
    pump.push({0, 0, Clock::now(), false});
    pump.push({0, 1, Clock::now(), true});
    ASSERT_TRUE(waitUntil([&] { return flushes.size() == before + 1; }, 1'000));
    EXPECT_LT(flushes.back() - flushes[before - 1], 99ms);
    EXPECT_EQ(applied.size(), threads * perThread + 2u);
}

}  // namespace
}  // namespace corvanta::testing
