#pragma once

#include <chrono>
#include <stop_token>

namespace corvanta {

// Sleeps on the steady clock for `duration`, waking early when `stop` is requested.
// Returns true when the full duration elapsed, false when the stop ended the wait.
bool sleepFor(std::chrono::steady_clock::duration duration, std::stop_token stop);

// Like sleepFor, but throws Cancelled when the stop ended the wait (or was already requested).
void sleepOrThrow(std::chrono::steady_clock::duration duration, std::stop_token stop);

// Throws Cancelled when a stop has been requested.
void throwIfStopRequested(const std::stop_token& stop);

}  // namespace corvanta
