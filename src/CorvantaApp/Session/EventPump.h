#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace corvanta {

// Carries values from any thread to the GUI thread in bursts: a burst is applied when the flush
// interval has passed since the last one, or at once when it holds a value that ends the stream;
// otherwise a single timer applies it at last flush + interval. So no value waits longer than the
// interval, and bursts come at most once per interval. Pushing takes a short lock and queues at
// most one wake-up however many values arrive.
template <typename Value>
class EventPump {
  public:
    using Apply = std::function<void(std::vector<Value>& burst)>;
    using IsFinal = std::function<bool(const Value&)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `context` lives on the GUI thread and outlives the pump's use; the burst is applied there.
    EventPump(
        QObject* context, std::chrono::milliseconds interval, Apply apply, IsFinal isFinal,
        Clock clock = [] { return std::chrono::steady_clock::now(); })
        : context_(context),
          interval_(interval),
          apply_(std::move(apply)),
          isFinal_(std::move(isFinal)),
          clock_(std::move(clock)),
          lastFlush_(clock_() - interval) {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, context, [this] { flush(); });
    }
    EventPump(const EventPump&) = delete;
    EventPump& operator=(const EventPump&) = delete;

    // Any thread.
    void push(Value value) {
        std::lock_guard lock(mutex_);
        incoming_.push_back(std::move(value));
        if (wakeQueued_) return;
        wakeQueued_ = true;
        QMetaObject::invokeMethod(
            context_,
            [this, alive = std::weak_ptr<bool>(alive_)] {
                if (alive.lock()) take();
            },
            Qt::QueuedConnection);
    }

    // GUI thread: applies whatever is waiting now, whatever the interval says.
    void flush() {
        take(false);
        timer_.stop();
        if (burst_.empty()) return;
        lastFlush_ = clock_();
        ++flushes_;
        apply_(burst_);
        burst_.clear();
    }

    int flushCount() const { return flushes_; }

  private:
    void take(bool mayFlush = true) {
        {
            std::lock_guard lock(mutex_);
            wakeQueued_ = false;
            for (auto& value : incoming_) burst_.push_back(std::move(value));
            incoming_.clear();
        }
        if (!mayFlush || burst_.empty()) return;
        const auto due = lastFlush_ + interval_;
        const bool final = std::any_of(burst_.begin(), burst_.end(), isFinal_);
        const auto now = clock_();
        if (final || now >= due) {
            flush();
        } else if (!timer_.isActive()) {
            timer_.start(std::chrono::ceil<std::chrono::milliseconds>(due - now));
        }
    }

    // A wake-up still queued when the pump is gone finds this expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    QPointer<QObject> context_;
    const std::chrono::milliseconds interval_;
    const Apply apply_;
    const IsFinal isFinal_;
    const Clock clock_;
    QTimer timer_;
    std::chrono::steady_clock::time_point lastFlush_;
    std::vector<Value> burst_;
    int flushes_ = 0;

    std::mutex mutex_;
    std::vector<Value> incoming_;
    bool wakeQueued_ = false;
};

}  // namespace corvanta
