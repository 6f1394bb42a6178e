#include "corvanta/node/NodeProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>
#include <utility>

#include "ChildProcess.h"
#include "ExecutableFile.h"
#include "NodeLaunchRecord.h"
#include "Utf8.h"
#include "corvanta/node/BinaryIntegrity.h"
#include "corvanta/node/BinaryVersionProbe.h"
#include "corvanta/node/NodeProcessError.h"
#include "corvanta/support/AtomicFile.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

constexpr std::size_t kReadBlock = 16384;

// bitcoind's words for a data directory that another node holds. A port it cannot bind ends with
// the same "probably already running" ("Unable to bind to 0.0.0.0:8333 on this computer. Bitcoin
// Core is probably already running."): that is no lock, and calling it one would send the user
// after the wrong culprit.
bool reportsLockConflict(std::string_view output) {
    std::size_t begin = 0;
    while (begin < output.size()) {
        std::size_t end = output.find('\n', begin);
        if (end == std::string_view::npos) end = output.size();
        const std::string_view line = output.substr(begin, end - begin);
        if (line.find("Cannot obtain a lock") != std::string_view::npos) return true;
        if (line.find("probably already running") != std::string_view::npos &&
            line.find("Unable to bind") == std::string_view::npos) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

}  // namespace

NodeProcess::NodeProcess(std::filesystem::path binaryURL, NodeConfiguration configuration,
                         std::optional<BitcoindRelease> expectedRelease, NodeProcessTimings timings)
    : binaryURL_(std::move(binaryURL)),
      configuration_(std::move(configuration)),
      expectedRelease_(std::move(expectedRelease)),
      timings_(timings),
      output_(std::make_unique<OutputTail>(timings.outputLimit)) {}

NodeProcess::~NodeProcess() {
    {
        std::unique_lock lock(mutex_);
        if (process_) {
            requestedTermination_ = true;
            if (!exited_) process_->sendSignal(SIGTERM);
            if (!changed_.wait_for(lock, timings_.abandonGrace, [&] { return !process_; })) {
                if (process_) process_->sendSignal(SIGKILL);
            }
        }
    }
    if (watcher_.joinable()) watcher_.join();
}

bool NodeProcess::isRunning() const {
    const std::lock_guard lock(mutex_);
    return process_ && !exited_;
}

bool NodeProcess::holdsProcess() const {
    const std::lock_guard lock(mutex_);
    return process_ != nullptr;
}

std::string NodeProcess::recentOutput() const {
    const std::lock_guard lock(mutex_);
    return output_->text();
}

std::int64_t NodeProcess::outputHandlerInvocations() const {
    return outputHandlerInvocations_.load();
}

std::optional<NodeTerminationReason> NodeProcess::lastTerminationReason() const {
    const std::lock_guard lock(mutex_);
    return lastTerminationReason_;
}

void NodeProcess::start() {
    {
        const std::lock_guard lock(mutex_);
        if (process_ || starting_) throw NodeProcessError(NodeProcessError::AlreadyRunning{});
        starting_ = true;
    }
    // Whatever happens below, the next start() is allowed again unless a process is held.
    struct StartingFlag {
        NodeProcess& owner;
        ~StartingFlag() {
            const std::lock_guard lock(owner.mutex_);
            owner.starting_ = false;
        }
    } startingFlag{*this};

    if (!isExecutableFile(binaryURL_)) {
        throw NodeProcessError(NodeProcessError::BinaryMissing{binaryURL_.string()});
    }
    if (expectedRelease_) {
        const std::string actual = BinaryIntegrity::sha256Hex(binaryURL_);
        const std::string expected = lowercased(expectedRelease_->sha256);
        if (actual != expected) {
            throw NodeProcessError(NodeProcessError::IntegrityMismatch{
                expectedRelease_->version, expected, actual,
                BinaryVersionProbe::probe(binaryURL_, timings_.versionProbeTimeout)});
        }
    }
    std::filesystem::create_directories(configuration_.dataDirectory);
    Pipe pipe = Pipe::make();

    // A cookie left by an earlier run must never be taken for this node's.
    std::error_code ignored;
    std::filesystem::remove(configuration_.cookieURL(), ignored);
    // The previous watcher has handled its node's end by now; it only has to return.
    if (watcher_.joinable()) watcher_.join();
    {
        const std::lock_guard lock(mutex_);
        output_->clear();
        requestedTermination_ = false;
        lastTerminationReason_.reset();
        exited_ = false;
        exitStatus_ = 0;
    }

    auto child = std::make_unique<ChildProcess>(ChildProcess::spawn(
        binaryURL_, configuration_.arguments(), pipe.writeEnd.get(), pipe.writeEnd.get(),
        timings_.endsWithApplication ? ParentDeath::signalsChild : ParentDeath::leavesChild));
    pipe.writeEnd.reset();  // the node holds the only write end: its exit ends the pipe
    const int pidfd = child->pidfd();
    {
        const std::lock_guard lock(mutex_);
        process_ = std::move(child);
    }
    try {
        watcher_ = std::jthread(
            [this, pidfd, outputFd = std::move(pipe.readEnd)] { watch(pidfd, outputFd.get()); });
    } catch (...) {
        // Without a watcher nobody would observe this node: it must not run unseen.
        const std::lock_guard lock(mutex_);
        process_.reset();  // kills and reaps
        throw;
    }
}

std::filesystem::path NodeProcess::waitForCookie(std::chrono::steady_clock::duration timeout,
                                                 std::stop_token stop) {
    {
        // A node that ended on its own before this wait began (its end handled already, as a
        // quick refusal of a taken folder can be) still says why; only no launch, or a launch
        // whose end was asked for, is nothing to wait for.
        const std::lock_guard lock(mutex_);
        if (!process_ && (!lastTerminationReason_ || requestedTermination_)) {
            throw NodeProcessError(NodeProcessError::NotRunning{});
        }
    }
    const auto cookie = configuration_.cookieURL();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        throwIfStopRequested(stop);
        std::error_code ignored;
        if (std::filesystem::exists(cookie, ignored)) {
            recordLaunch();
            return cookie;
        }
        if (!isRunning()) break;
        // Still running at the deadline: an exit during the last poll is reported as an exit.
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            throw NodeProcessError(NodeProcessError::CookieTimeout{cookie.string()});
        }
        sleepOrThrow(std::min<std::chrono::steady_clock::duration>(timings_.cookiePoll, left),
                     stop);
    }
    // It exited before writing its cookie.
    NodeProcessError::ExitedDuringStartup exited;
    {
        std::unique_lock lock(mutex_);
        exited = exitRecord(lock, stop);
    }
    if (reportsLockConflict(exited.output)) {
        throw NodeProcessError(
            NodeProcessError::LockConflict{configuration_.dataDirectory.string()});
    }
    throw NodeProcessError(std::move(exited));
}

// Written once the node has its cookie: by then it holds its data folder, so the record never
// names a node that only came to find the folder taken.
void NodeProcess::recordLaunch() {
    pid_t pid = 0;
    {
        const std::lock_guard lock(mutex_);
        if (!process_ || exited_ || recorded_) return;
        pid = process_->pid();
    }
    const auto node = ProcessInfo::liveIdentity(pid);
    const auto program = ProcessInfo::executable(pid);
    if (!node || !program) return;  // it is ending already
    const auto file = NodeLaunchRecord::location(configuration_.dataDirectory);
    // What stands there and is no record is set aside before the record takes its place.
    if (auto notice = NodeLaunchRecord::setAsideIfUnusable(file)) {
        const std::lock_guard lock(mutex_);
        notices_.push_back(std::move(*notice));
    }
    try {
        NodeLaunchRecord{*node, *program, configuration_.dataDirectory, ProcessInfo::self()}.write(
            file);
    } catch (const FileWriteError&) {
        // Without the record only the recognition of a node this process might leave is lost.
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (process_ && !exited_) {
            recorded_ = std::make_unique<const ProcessIdentity>(*node);
            return;
        }
    }
    NodeLaunchRecord::removeIfNaming(file, *node);  // its end was handled meanwhile
}

std::vector<std::string> NodeProcess::takeNotices() {
    const std::lock_guard lock(mutex_);
    return std::exchange(notices_, {});
}

void NodeProcess::forgetLaunch() {
    std::unique_ptr<const ProcessIdentity> recorded;
    {
        const std::lock_guard lock(mutex_);
        recorded = std::move(recorded_);
    }
    if (recorded) {
        NodeLaunchRecord::removeIfNaming(NodeLaunchRecord::location(configuration_.dataDirectory),
                                         *recorded);
    }
}

NodeProcessError::ExitedDuringStartup NodeProcess::exitRecord(std::unique_lock<std::mutex>& lock,
                                                              std::stop_token stop) {
    // Let the watcher collect the node's last words first.
    changed_.wait_for(lock, stop, timings_.exitHandledWait, [&] { return !process_; });
    throwIfStopRequested(stop);
    return {exitStatus_, output_->text()};
}

std::optional<NodeProcessError> NodeProcess::exitDuringStartup(
    std::chrono::steady_clock::duration grace, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, grace, [&] { return !process_ || exited_; });
    throwIfStopRequested(stop);
    const bool launched = process_ || lastTerminationReason_;
    if (!launched || (process_ && !exited_) || requestedTermination_) return std::nullopt;
    return NodeProcessError(exitRecord(lock, stop));
}

void NodeProcess::markTerminationRequested() {
    const std::lock_guard lock(mutex_);
    if (process_) requestedTermination_ = true;
}

void NodeProcess::terminate(std::stop_token stop) noexcept {
    std::unique_lock lock(mutex_);
    if (!process_) return;
    requestedTermination_ = true;
    if (!exited_) process_->sendSignal(SIGTERM);
    changed_.wait(lock, stop, [&] { return !process_; });
}

NodeTerminationReason NodeProcess::waitForTermination(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, stop, [&] { return !process_; });
    if (process_) throw Cancelled();
    return lastTerminationReason_.value_or(NodeTerminationReason::requested());
}

void NodeProcess::appendOutput(std::string_view bytes) {
    const std::lock_guard lock(mutex_);
    output_->append(bytes);
}

// Runs on the watcher thread for one launch: reads the output as it comes, and once the pidfd
// reports the exit, reaps the node, drains what it wrote last and records its end.
void NodeProcess::watch(int pidfd, int outputFd) {
    std::array<char, kReadBlock> block{};
    bool pipeOpen = true;
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{pidfd, POLLIN, 0},
                                  pollfd{pipeOpen ? outputFd : -1, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            // Only EINTR or a transient lack of memory: the end must still be observed.
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (pipeOpen && fds[1].revents != 0) {
            outputHandlerInvocations_.fetch_add(1);
            const ssize_t got = ::read(outputFd, block.data(), block.size());
            if (got > 0) {
                appendOutput(std::string_view(block.data(), static_cast<std::size_t>(got)));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                pipeOpen = false;
            }
        }
        if (fds[0].revents != 0) break;
    }
    {
        const std::lock_guard lock(mutex_);
        exitStatus_ = process_->reap();
        exited_ = true;
    }
    changed_.notify_all();
    forgetLaunch();  // before the end is handled: whoever waits for it finds the record gone
    if (pipeOpen) drainRemainingOutput(outputFd);
    {
        const std::lock_guard lock(mutex_);
        output_->finish();
        lastTerminationReason_ = requestedTermination_
                                     ? NodeTerminationReason::requested()
                                     : NodeTerminationReason::unexpected(exitStatus_);
        process_.reset();
    }
    changed_.notify_all();
}

// Collects what the node wrote just before exiting. Never blocks: a process that inherited the
// pipe and keeps it open cannot hold the end's handling for more than `finalDrain`.
void NodeProcess::drainRemainingOutput(int outputFd) {
    const int flags = ::fcntl(outputFd, F_GETFL);
    if (flags < 0 || ::fcntl(outputFd, F_SETFL, flags | O_NONBLOCK) < 0) return;
    std::array<char, kReadBlock> block{};
    const auto deadline = std::chrono::steady_clock::now() + timings_.finalDrain;
    for (;;) {
        const ssize_t got = ::read(outputFd, block.data(), block.size());
        if (got > 0) {
            appendOutput(std::string_view(block.data(), static_cast<std::size_t>(got)));
            continue;
        }
        if (got == 0) break;
        if (errno != EAGAIN && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace corvanta
