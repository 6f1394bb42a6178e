#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

// glibc 2.36 declares these without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}

extern char** environ;

namespace corvanta {
namespace {

[[noreturn]] void fail(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

// RAII for the two posix_spawn helper objects.
class SpawnSetup {
  public:
    SpawnSetup() {
        if (const int rc = ::posix_spawn_file_actions_init(&actions_); rc != 0) {
            fail(rc, "posix_spawn_file_actions_init");
        }
        if (const int rc = ::posix_spawnattr_init(&attributes_); rc != 0) {
            ::posix_spawn_file_actions_destroy(&actions_);
            fail(rc, "posix_spawnattr_init");
        }
    }
    ~SpawnSetup() {
        ::posix_spawnattr_destroy(&attributes_);
        ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void redirect(int targetFd, int sourceFd, int nullFlags) {
        const int rc = sourceFd >= 0
                           ? ::posix_spawn_file_actions_adddup2(&actions_, sourceFd, targetFd)
                           : ::posix_spawn_file_actions_addopen(&actions_, targetFd, "/dev/null",
                                                                nullFlags, 0);
        if (rc != 0) fail(rc, "posix_spawn_file_actions");
    }

    void resetSignalsAndGroup() {
        sigset_t empty;
        sigemptyset(&empty);
        sigset_t everything;
        sigfillset(&everything);
        sigdelset(&everything, SIGKILL);
        sigdelset(&everything, SIGSTOP);
        int rc = ::posix_spawnattr_setsigmask(&attributes_, &empty);
        if (rc == 0) rc = ::posix_spawnattr_setsigdefault(&attributes_, &everything);
        if (rc == 0) rc = ::posix_spawnattr_setpgroup(&attributes_, 0);
        if (rc == 0) {
            rc = ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK |
                                                              POSIX_SPAWN_SETSIGDEF |
                                                              POSIX_SPAWN_SETPGROUP);
        }
        if (rc != 0) fail(rc, "posix_spawnattr");
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

  private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
};

std::int32_t statusOf(const siginfo_t& info) {
    // An exit gives its code; a signal gives the signal's number.
    return info.si_status;
}

}  // namespace

Pipe Pipe::make() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) fail(errno, "pipe2");
    return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

ChildProcess ChildProcess::spawn(const std::filesystem::path& program,
                                 const std::vector<std::string>& arguments, int outputFd,
                                 int errorFd) {
    SpawnSetup setup;
    setup.redirect(STDIN_FILENO, -1, O_RDONLY);
    setup.redirect(STDOUT_FILENO, outputFd, O_WRONLY);
    setup.redirect(STDERR_FILENO, errorFd, O_WRONLY);
    setup.resetSignalsAndGroup();

    std::vector<std::string> argvStorage;
    argvStorage.reserve(arguments.size() + 1);
    argvStorage.push_back(program.string());
    argvStorage.insert(argvStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(argvStorage.size() + 1);
    for (auto& argument : argvStorage) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (const int rc = ::posix_spawn(&pid, program.c_str(), setup.actions(), setup.attributes(),
                                     argv.data(), environ);
        rc != 0) {
        fail(rc, "posix_spawn " + program.string());
    }
    UniqueFd pidfd(::pidfd_open(pid, 0));
    if (!pidfd) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        fail(error, "pidfd_open");
    }
    return ChildProcess(pid, std::move(pidfd));
}

ChildProcess::~ChildProcess() {
    if (!pidfd_ || reaped()) return;
    sendSignal(SIGKILL);
    reap();
}

void ChildProcess::sendSignal(int signal) const {
    if (!pidfd_ || reaped()) return;
    ::pidfd_send_signal(pidfd_.get(), signal, nullptr, 0);
    // The child leads a process group of its own: whatever it started (a wrapper script's
    // program, say) is ended with it instead of being left behind. Until the leader is reaped its
    // pid, and so the group's id, cannot be taken by anyone else.
    ::kill(-pid_, signal);
}

std::optional<std::int32_t> ChildProcess::tryReap() {
    if (status_ || !pidfd_) return status_;
    siginfo_t info{};
    int rc;
    do {
        rc = ::waitid(P_PIDFD, static_cast<id_t>(pidfd_.get()), &info, WEXITED | WNOHANG);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0 && info.si_pid != 0) status_ = statusOf(info);
    if (rc != 0 && errno == ECHILD) status_ = -1;  // reaped behind our back
    return status_;
}

std::optional<std::int32_t> ChildProcess::reapWithin(std::chrono::milliseconds limit) {
    if (status_ || !pidfd_) return status_;
    pollfd watch{pidfd_.get(), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int rc = ::poll(&watch, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (rc > 0) return tryReap();
        if (rc == 0) return std::nullopt;
        if (errno != EINTR) return tryReap();
    }
}

std::int32_t ChildProcess::reap() {
    while (!status_ && pidfd_) {
        siginfo_t info{};
        if (::waitid(P_PIDFD, static_cast<id_t>(pidfd_.get()), &info, WEXITED) == 0) {
            status_ = statusOf(info);
        } else if (errno != EINTR) {
            status_ = -1;  // not our child any more (reaped behind our back): nothing to wait for
        }
    }
    return status_.value_or(-1);
}

}  // namespace corvanta
