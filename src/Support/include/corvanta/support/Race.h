#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace corvanta {

// What one side of a race ended with: a value or an exception.
template <typename T>
struct RaceSide {
    std::optional<T> value;
    std::exception_ptr error;

    bool failed() const { return error != nullptr; }
    // The value, or the side's exception rethrown.
    T take() {
        if (error) std::rethrow_exception(error);
        return std::move(*value);
    }
};

template <typename T>
struct RaceResult {
    bool firstWon;  // true when the first side finished first
    RaceSide<T> first;
    RaceSide<T> second;

    RaceSide<T>& winner() { return firstWon ? first : second; }
    RaceSide<T>& loser() { return firstWon ? second : first; }
};

// Runs two sides on their own threads with one shared stop token. As soon as either ends, the
// other is asked to stop; race returns only once both have ended (nothing outlives the call).
// A stop requested on `outer` reaches both sides. The sides must honour their token promptly.
template <typename T>
RaceResult<T> race(std::stop_token outer, std::function<T(std::stop_token)> firstSide,
                   std::function<T(std::stop_token)> secondSide) {
    std::stop_source shared;
    std::stop_callback forward(outer, [&shared] { shared.request_stop(); });

    std::mutex mutex;
    std::optional<bool> firstWon;
    RaceResult<T> result{false, {}, {}};

    auto runSide = [&](std::function<T(std::stop_token)>& side, RaceSide<T>& slot, bool isFirst) {
        try {
            slot.value.emplace(side(shared.get_token()));
        } catch (...) {
            slot.error = std::current_exception();
        }
        std::lock_guard lock(mutex);
        if (!firstWon) firstWon = isFirst;
        shared.request_stop();
    };
    {
        std::jthread firstThread([&] { runSide(firstSide, result.first, true); });
        std::jthread secondThread([&] { runSide(secondSide, result.second, false); });
        // The jthreads join here, once both sides have ended.
    }
    result.firstWon = firstWon.value_or(true);
    return result;
}

}  // namespace corvanta
