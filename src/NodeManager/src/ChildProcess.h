#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "corvanta/support/UniqueFd.h"

namespace corvanta {

struct Pipe {
    UniqueFd readEnd;
    UniqueFd writeEnd;
    // Both ends close-on-exec; throws std::system_error.
    static Pipe make();
};

// What the child is told when this process ends without ending it first.
enum class ParentDeath {
    // SIGTERM, whatever way this process ends (crash, SIGKILL...): the child never outlives it.
    signalsChild,
    // Nothing: the child runs on. Only for tests that leave a child behind on purpose.
    leavesChild,
};

// A child program started without a shell and watched through a pidfd, so signalling it can
// never reach a recycled pid. Reaped exactly once.
class ChildProcess {
  public:
    // argv is the program path followed by `arguments`; the environment is inherited unchanged;
    // stdin reads /dev/null; stdout and stderr go to the given descriptors (-1: /dev/null). The
    // child starts with an empty signal mask and every disposition at its default (whatever
    // this process blocks or ignores), in its own process group (a terminal's Ctrl-C meant for
    // the application does not reach it). It is forked on the process's spawner thread, which
    // lives as long as the process, so its parent-death signal means the process ended. Returns
    // once the program runs; throws std::system_error when it cannot be started.
    static ChildProcess spawn(const std::filesystem::path& program,
                              const std::vector<std::string>& arguments, int outputFd, int errorFd,
                              ParentDeath parentDeath = ParentDeath::signalsChild);

    ChildProcess(ChildProcess&&) noexcept = default;
    ChildProcess& operator=(ChildProcess&&) noexcept = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still unreaped here is killed and reaped: it must not outlive its owner.
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    // Readable once the child has exited.
    int pidfd() const { return pidfd_.get(); }
    bool reaped() const { return status_.has_value(); }

    // Harmless once the child has ended.
    void sendSignal(int signal) const;
    // Reaps the child when it has exited and returns its status: the exit code, or the signal
    // number that ended it. nullopt while it runs.
    std::optional<std::int32_t> tryReap();
    // Waits up to `limit` for the child to end, then reaps it.
    std::optional<std::int32_t> reapWithin(std::chrono::milliseconds limit);
    // Blocks until the child ends.
    std::int32_t reap();

  private:
    ChildProcess(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}

    pid_t pid_ = -1;
    UniqueFd pidfd_;
    std::optional<std::int32_t> status_;
};

}  // namespace corvanta
