#include "SpawnerThread.h"

#include <pthread.h>
#include <signal.h>

#include <utility>

namespace corvanta {

SpawnerThread& SpawnerThread::instance() {
    // Destroyed at exit, which ends the thread: a child still running then gets its death signal,
    // as it would had the process been killed.
    static SpawnerThread spawner;
    return spawner;
}

SpawnerThread::SpawnerThread() : thread_([this](std::stop_token stop) { loop(stop); }) {}

void SpawnerThread::submit(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void SpawnerThread::loop(std::stop_token stop) {
    // A child starts with its parent thread's signal mask: with all of them blocked, no handler
    // of this process can run in a child before it has reset them. Signals meant for the process
    // go to its other threads.
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, nullptr);
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, stop, [&] { return !jobs_.empty(); });
            if (jobs_.empty()) return;  // stopped with nothing left to run
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace corvanta
