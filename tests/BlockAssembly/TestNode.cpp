#include "TestNode.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace corvanta::testing {

namespace {

using namespace std::chrono_literals;

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    if (!ok) throw std::runtime_error("no free port");
    return ntohs(address.sin_port);
}

std::filesystem::path makeTemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "corvanta-node-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

// Waits up to `limit` for the child to end; true when it has been reaped.
bool reap(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) return true;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace

std::filesystem::path TestNode::program() {
    const char* chosen = std::getenv("CORVANTA_TEST_BITCOIND");
    if (chosen != nullptr && *chosen != '\0') return chosen;
    return CORVANTA_DEFAULT_TEST_NODE;
}

TestNode::TestNode() : dataDirectory_(makeTemporaryDirectory()) {
    const int rpcPort = freePort();
    int p2pPort = freePort();
    while (p2pPort == rpcPort) p2pPort = freePort();
    const std::vector<std::string> arguments{
        program().string(),
        "-datadir=" + dataDirectory_.string(),
        "-disablewallet=1",
        "-server=1",
        "-rpcbind=127.0.0.1",
        "-rpcallowip=127.0.0.1",
        "-rpcport=" + std::to_string(rpcPort),
        "-port=" + std::to_string(p2pPort),
        "-regtest=1",
        "-connect=0",
        "-listen=0",
    };
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const std::string log = (dataDirectory_ / "node.log").string();
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls until exec. The node dies with this test process, even
        // when the test crashes before it can stop the node.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const int input = ::open("/dev/null", O_RDONLY);
        const int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || output < 0) ::_exit(127);
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    if (pid_ < 0) {
        std::filesystem::remove_all(dataDirectory_);
        throw std::runtime_error("cannot start " + arguments[0]);
    }

    try {
        waitUntilReady(rpcPort);
    } catch (...) {
        stop();
        throw;
    }
}

TestNode::~TestNode() {
    stop();
}

void TestNode::waitUntilReady(int rpcPort) {
    const auto cookie = dataDirectory_ / "regtest" / ".cookie";
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    for (;;) {
        // The cookie may be caught half written and the node may still be warming up: both
        // pass with a retry.
        try {
            if (std::filesystem::exists(cookie)) {
                client_.emplace("http://127.0.0.1:" + std::to_string(rpcPort) + "/",
                                RPCCredentials::readingCookie(cookie));
                blockCount();
                return;
            }
        } catch (const std::exception&) {
            client_.reset();
        }
        const bool exited = reap(pid_, 0ms);
        if (exited) pid_ = -1;
        if (exited || std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the test node did not come up:\n" + logTail());
        }
        std::this_thread::sleep_for(20ms);
    }
}

std::int64_t TestNode::blockCount() const {
    return json::as<std::int64_t>(client_->call("getblockcount", {}, 30, {}), "getblockcount");
}

void TestNode::stop() {
    if (pid_ > 0) {
        if (client_) {
            try {
                client_->callOptional("stop", {}, 5, {});
            } catch (const std::exception&) {
                // Already gone or not answering: the signals below end it.
            }
        }
        if (!reap(pid_, 10s)) {
            ::kill(pid_, SIGTERM);
            if (!reap(pid_, 5s)) {
                ::kill(pid_, SIGKILL);
                reap(pid_, 5s);
            }
        }
        pid_ = -1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dataDirectory_, ignored);
}

std::string TestNode::logTail() const {
    std::ifstream file(dataDirectory_ / "node.log");
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

}  // namespace corvanta::testing
