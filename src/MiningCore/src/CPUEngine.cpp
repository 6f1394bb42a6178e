#include "corvanta/mining/CPUEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <latch>
#include <stop_token>

#include "EngineState.h"
#include "SliceSearch.h"
#include "WorkerPool.h"
#include "corvanta/sha256/Backend.h"
#include "corvanta/support/CancellableWait.h"

namespace corvanta {
namespace {

// Waits out a pause before a search starts. False when stopped first.
bool waitToStart(const CPUEngine& engine, const std::stop_token& stop) {
    using namespace std::chrono_literals;
    while (!stop.stop_requested()) {
        if (!engine.isPaused()) return true;
        sleepFor(200ms, stop);
    }
    return false;
}

}  // namespace

CPUEngine::CPUEngine(int threadCount, std::uint64_t chunkSize)
    : threadCount_(std::max(threadCount, 1)),
      chunkSize_(std::max<std::uint64_t>(chunkSize, 1)),
      state_(std::make_shared<detail::EngineState>()) {}

std::string CPUEngine::name() const {
    return "CPU " + std::string(sha256::activeBackend().label) + " \u00d7" +
           std::to_string(threadCount_);
}

std::uint64_t CPUEngine::sweptNonceCount() const {
    return state_->sweptNonceCount.load();
}

std::optional<CPUEngine::BestAttempt> CPUEngine::bestAttempt() const {
    const std::scoped_lock lock(state_->bestMutex);
    return state_->bestAttempt;
}

std::optional<Hash32> CPUEngine::bestDigestBigEndianBytes() const {
    const std::scoped_lock lock(state_->bestMutex);
    return state_->bestDigestBigEndian;
}

int CPUEngine::currentWorkerCount() const {
    const int set = state_->workerCount.load();
    return set == 0 ? threadCount_ : set;
}

void CPUEngine::setWorkerCount(int count) {
    state_->workerCount.store(std::clamp(count, 1, threadCount_));
}

bool CPUEngine::isPaused() const {
    return state_->paused.load();
}
void CPUEngine::setPaused(bool paused) {
    state_->paused.store(paused);
}

bool CPUEngine::isCourteous() const {
    return state_->courteous.load();
}
void CPUEngine::setCourteous(bool courteous) {
    state_->courteous.store(courteous);
}

int CPUEngine::defaultThreadCount() {
    return performanceCoreCount();
}

std::vector<NonceRange> CPUEngine::slice(NonceRange range, int into) {
    const auto parts = static_cast<std::uint64_t>(std::max(into, 1));
    const std::uint64_t base = range.count() / parts;
    const std::uint64_t extra = range.count() - base * parts;
    std::vector<NonceRange> slices;
    std::uint64_t next = range.start();
    for (std::uint64_t i = 0; i < parts; ++i) {
        const std::uint64_t count = base + (i < extra ? 1 : 0);
        if (count == 0) continue;
        slices.emplace_back(static_cast<std::uint32_t>(next), count);
        next += count;
    }
    return slices;
}

std::vector<std::uint32_t> CPUEngine::search(const HashJob& job, NonceRange range,
                                             bool stopAtFirstWinner, std::stop_token stop) {
    if (range.count() == 0) return {};
    if (!waitToStart(*this, stop)) return {};

    const std::vector<NonceRange> slices = slice(range, currentWorkerCount());
    std::atomic<bool> cancel{false};
    const std::stop_callback cancelOnStop(stop, [&cancel] { cancel.store(true); });
    detail::WorkerPool& pool =
        isCourteous() ? detail::WorkerPool::courteous() : detail::WorkerPool::normal();

    std::vector<detail::SharedSlice> shared(slices.size());
    for (std::size_t i = 0; i < slices.size(); ++i) shared[i].range = slices[i];
    const auto sliceCount = static_cast<std::ptrdiff_t>(slices.size());
    // The slices use this frame's job, flags and buffers: nothing leaves before all have ended.
    std::latch finished(sliceCount);
    detail::EngineState& state = *state_;
    for (std::ptrdiff_t i = 0; i < sliceCount; ++i) {
        try {
            pool.submit([&, i] {
                detail::sweepSlices(job, shared, static_cast<std::size_t>(i), chunkSize_,
                                    stopAtFirstWinner, state, cancel);
                finished.count_down();
            });
        } catch (...) {
            cancel.store(true);
            finished.count_down(sliceCount - i);
            finished.wait();
            throw;
        }
    }
    finished.wait();

    std::vector<std::uint32_t> winners;
    for (detail::SharedSlice& slice : shared) {
        const std::vector<std::uint32_t> first = slice.firstHits();
        winners.insert(winners.end(), first.begin(), first.end());
    }
    std::ranges::sort(winners);
    return winners;
}

}  // namespace corvanta
