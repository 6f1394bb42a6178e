#include "TestSupport.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace corvanta::testing {

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "corvanta-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeText(const std::filesystem::path& path, std::string_view text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path writeScript(const std::filesystem::path& path, std::string_view body) {
    writeText(path, body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
    return path;
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

bool processExists(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

namespace {

std::vector<pid_t> pidsIn(const std::filesystem::path& pidFile) {
    std::istringstream lines(readText(pidFile));
    std::vector<pid_t> pids;
    long pid = 0;
    while (lines >> pid) pids.push_back(static_cast<pid_t>(pid));
    return pids;
}

bool pidGone(pid_t pid, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (processExists(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

bool allProcessesGone(const std::filesystem::path& pidFile, double seconds) {
    bool gone = true;
    for (const pid_t pid : pidsIn(pidFile)) gone = pidGone(pid, seconds) && gone;
    return gone;
}

pid_t lastPid(const std::filesystem::path& pidFile) {
    const auto pids = pidsIn(pidFile);
    return pids.empty() ? -1 : pids.back();
}

std::string hexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const auto byte : bytes) text += {kDigits[byte >> 4], kDigits[byte & 15]};
    return text;
}

std::vector<std::uint8_t> bytesFromHex(std::string_view text) {
    if (text.size() % 2 != 0) throw std::invalid_argument("odd hex length in test");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoul(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

namespace {

// Reserved ports start here: clear of the well-known and registered services most machines run.
constexpr int kLowestPort = 10000;

// The system's ephemeral range (Linux's default when it cannot be read).
std::pair<int, int> ephemeralRange() {
    std::ifstream in("/proc/sys/net/ipv4/ip_local_port_range");
    int low = 0;
    int high = 0;
    if (in >> low >> high && low > 0 && low <= high) return {low, high};
    return {32768, 60999};
}

// The first ports of every block of `count` that lies outside the ephemeral range.
std::vector<int> candidateStarts(int count) {
    const auto [low, high] = ephemeralRange();
    std::vector<int> starts;
    for (int port = kLowestPort; port + count - 1 <= 65535; ++port) {
        if (port + count - 1 < low || port > high) starts.push_back(port);
    }
    return starts;
}

// Free on the wildcard address of `family` (which any other bind of the port would block),
// exactly as a node binds it: IPv6 alone on the IPv6 socket. A machine without IPv6 has nothing
// there to collide with.
bool bindable(int family, int port) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return family == AF_INET6;
    bool bound = false;
    if (family == AF_INET6) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof(on));
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ::close(fd);
    return bound;
}

bool lockPorts(int fd, int first, int count, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = first;
    range.l_len = count;
    return ::fcntl(fd, F_OFD_SETLK, &range) == 0;
}

}  // namespace

ReservedPorts::ReservedPorts(int count) : count_(count) {
    if (count < 1 || count > 16) throw std::invalid_argument("reserve 1 to 16 ports");
    // One lock file per user: another user's file could not be opened for writing.
    const auto lockFile = std::filesystem::temp_directory_path() /
                          ("corvanta-test-ports-" + std::to_string(::getuid()) + ".lock");
    lockFd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) throw std::runtime_error("cannot open " + lockFile.string());
    const std::vector<int> starts = candidateStarts(count);
    if (!starts.empty()) {
        // Start the search anywhere, so parallel tests rarely compete for the same block.
        std::random_device random;
        const std::size_t offset =
            std::uniform_int_distribution<std::size_t>(0, starts.size() - 1)(random);
        for (std::size_t i = 0; i < starts.size(); ++i) {
            const int start = starts[(offset + i) % starts.size()];
            if (!lockPorts(lockFd_, start, count, F_WRLCK)) continue;
            bool free = true;
            for (int port = start; free && port < start + count; ++port) {
                free = bindable(AF_INET, port) && bindable(AF_INET6, port);
            }
            if (free) {
                first_ = start;
                return;
            }
            lockPorts(lockFd_, start, count, F_UNLCK);
        }
    }
    ::close(lockFd_);
    throw std::runtime_error("no free ports outside the ephemeral range");
}

ReservedPorts::~ReservedPorts() {
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

ReservedPorts::ReservedPorts(ReservedPorts&& other) noexcept
    : lockFd_(std::exchange(other.lockFd_, -1)), first_(other.first_), count_(other.count_) {}

int ReservedPorts::keepUntilExit() && {
    lockFd_ = -1;  // the descriptor, and so the lock, stays open until the process ends
    return first_;
}

int freePort() {
    return ReservedPorts(1).keepUntilExit();
}

std::filesystem::path nodeProgram() {
    const char* configured = std::getenv("CORVANTA_TEST_BITCOIND");
    if (configured != nullptr && *configured != '\0') return configured;
    return CORVANTA_TEST_NODE_PROGRAM;
}

bool usingTestNode() {
    return nodeProgram().filename() == "corvanta-test-node";
}

std::string sendLine(const std::filesystem::path& socketPath, std::string_view line) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath.string();
    if (fd < 0 || path.size() >= sizeof(address.sun_path)) {
        if (fd >= 0) ::close(fd);
        throw std::runtime_error("cannot reach " + path);
    }
    path.copy(address.sun_path, path.size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot connect to " + path);
    }
    std::string message(line);
    message += '\n';
    std::string reply;
    if (::write(fd, message.data(), message.size()) == static_cast<ssize_t>(message.size())) {
        char c = 0;
        while (::read(fd, &c, 1) == 1 && c != '\n') reply += c;
    }
    ::close(fd);
    return reply;
}

}  // namespace corvanta::testing
