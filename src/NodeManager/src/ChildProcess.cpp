#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "SpawnerThread.h"

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

// Everything the child needs, made ready before the fork: between fork and exec a child of a
// threaded process may only make async-signal-safe calls (no allocation, no locks).
struct LaunchPlan {
    const char* program;
    char* const* argv;
    int outputFd;
    int errorFd;
    bool deathSignal;
    pid_t parent;
    int reportFd;  // the child writes its errno here when it cannot become the program
};

// A copy of `fd` numbered 3 or above (close-on-exec), so that setting up 0, 1 and 2 can never
// overwrite it, even when this process runs with a standard stream closed.
int aboveStandardStreams(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// In the child: tells the parent why it could not become the program, and ends.
[[noreturn]] void giveUp(int report, int error) noexcept {
    if (report >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(report, &error, sizeof error);
    }
    ::_exit(127);
}

[[noreturn]] void becomeProgram(const LaunchPlan& plan) noexcept {
    const int report = aboveStandardStreams(plan.reportFd);
    if (report < 0) giveUp(report, errno);
    if (::setpgid(0, 0) != 0) giveUp(report, errno);
    // Forked with every signal blocked (the spawner thread blocks them all), so no handler of
    // this process runs here. Whatever this process ignores or handles, the program starts with
    // every signal at its default and none blocked. The implementation's own signals refuse the
    // change: harmless.
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) ::sigaction(signal, &defaults, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (plan.deathSignal) {
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) giveUp(report, errno);
        // A parent that died before the signal was armed will never send it.
        if (::getppid() != plan.parent) ::_exit(127);
    }
    const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nullFd < 0) giveUp(report, errno);
    const int devNull = aboveStandardStreams(nullFd);
    const int output = plan.outputFd >= 0 ? aboveStandardStreams(plan.outputFd) : devNull;
    const int error = plan.errorFd >= 0 ? aboveStandardStreams(plan.errorFd) : devNull;
    if (devNull < 0 || output < 0 || error < 0) giveUp(report, errno);
    if (::dup2(devNull, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(error, STDERR_FILENO) < 0) {
        giveUp(report, errno);
    }
    ::execve(plan.program, plan.argv, environ);
    giveUp(report, errno);
}

// Forks on the calling thread; the child goes on to become the program.
pid_t forkInto(const LaunchPlan& plan) {
    const pid_t pid = ::fork();
    if (pid < 0) fail(errno, "fork");
    if (pid == 0) becomeProgram(plan);
    return pid;
}

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
                                 int errorFd, ParentDeath parentDeath) {
    std::vector<std::string> argvStorage;
    argvStorage.reserve(arguments.size() + 1);
    argvStorage.push_back(program.string());
    argvStorage.insert(argvStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(argvStorage.size() + 1);
    for (auto& argument : argvStorage) argv.push_back(argument.data());
    argv.push_back(nullptr);

    Pipe report = Pipe::make();
    const LaunchPlan plan{program.c_str(),
                          argv.data(),
                          outputFd,
                          errorFd,
                          parentDeath == ParentDeath::signalsChild,
                          ::getpid(),
                          report.writeEnd.get()};
    const pid_t pid = SpawnerThread::instance().run([&plan] { return forkInto(plan); });
    report.writeEnd.reset();
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(report.readEnd.get(), &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        // The child never became the program: it has exited, and only needs reaping.
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        fail(execError, "exec " + program.string());
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
