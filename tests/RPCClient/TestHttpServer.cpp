#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace corvanta::testing {
namespace {

constexpr int kPollSliceMs = 20;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Waits until `fd` is readable, checking `stop` between short polls.
bool waitReadable(int fd, const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kPollSliceMs) > 0) return true;
    }
    return false;
}

std::optional<TestHttpServer::Request> readRequest(int fd, const std::stop_token& stop) {
    std::string data;
    std::size_t headerEnd = std::string::npos;
    std::size_t contentLength = 0;
    char buffer[65536];
    while (true) {
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                const auto lengthAt = data.find("Content-Length: ");
                if (lengthAt != std::string::npos && lengthAt < headerEnd) {
                    contentLength = std::stoul(data.substr(lengthAt + 16));
                }
            }
        }
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + contentLength) break;
        if (!waitReadable(fd, stop)) return std::nullopt;
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) return std::nullopt;
        data.append(buffer, static_cast<std::size_t>(count));
    }
    TestHttpServer::Request request;
    request.body = data.substr(headerEnd + 4, contentLength);
    std::size_t lineStart = 0;
    while (lineStart < headerEnd) {
        const std::size_t lineEnd = std::min(data.find("\r\n", lineStart), headerEnd);
        const std::string line = data.substr(lineStart, lineEnd - lineStart);
        if (lineStart == 0) {
            request.requestLine = line;
        } else {
            const auto colon = line.find(':');
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers.emplace_back(line.substr(0, colon), value);
        }
        lineStart = lineEnd + 2;
    }
    return request;
}

void writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t count = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (count <= 0) return;
        data.remove_prefix(static_cast<std::size_t>(count));
    }
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

namespace {

UniqueFd bindLoopback(int& port, bool listening) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        (listening && ::listen(fd.get(), 16) != 0) ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot bind on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

UniqueFd listenOnLoopback(int& port) {
    return bindLoopback(port, true);
}

int unusedLoopbackPort() {
    // Bound but never listened on, then closed: connecting to it is refused.
    int port = 0;
    bindLoopback(port, false);
    return port;
}

std::optional<std::string> TestHttpServer::Request::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

TestHttpServer::TestHttpServer(Handler handler, Connections connections)
    : handler_(std::move(handler)),
      connectionsKind_(connections),
      listener_(listenOnLoopback(port_)),
      acceptor_([this] { acceptLoop(stop_.get_token()); }) {}

TestHttpServer::~TestHttpServer() {
    stop_.request_stop();
    acceptor_.join();
    // No connection is added once the acceptor has ended.
    for (auto& connection : connections_) connection.join();
}

std::vector<TestHttpServer::Request> TestHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestHttpServer::connectionsAccepted() const {
    const std::lock_guard lock(mutex_);
    return connections_.size();
}

bool TestHttpServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

void TestHttpServer::acceptLoop(std::stop_token stop) {
    while (waitReadable(listener_.get(), stop)) {
        UniqueFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.get() < 0) continue;
        const std::lock_guard lock(mutex_);
        connections_.emplace_back(
            [this, fd = std::move(connection), stop]() mutable { serve(std::move(fd), stop); });
    }
}

void TestHttpServer::serve(UniqueFd connection, std::stop_token stop) {
    const bool kept = connectionsKind_ == Connections::kept;
    while (true) {
        const std::optional<Request> request = readRequest(connection.get(), stop);
        if (!request) return;
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        arrived_.notify_all();
        const std::optional<Reply> reply = handler_(*request, stop);
        if (!reply) return;
        writeAll(connection.get(), "HTTP/1.1 " + std::to_string(reply->status) +
                                       " Status\r\nContent-Type: application/json\r\n"
                                       "Content-Length: " +
                                       std::to_string(reply->body.size()) +
                                       (kept ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n") +
                                       reply->body);
        if (!kept || reply->closeAfter) return;
    }
}

std::string envelope(std::string_view result, std::string_view error) {
    return std::string(R"({"result":)") + std::string(result) + R"(,"error":)" +
           std::string(error) + R"(,"id":"corvanta"})";
}

}  // namespace corvanta::testing
