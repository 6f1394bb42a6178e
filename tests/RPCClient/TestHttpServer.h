#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace corvanta::testing {

// An owned file descriptor.
class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    int get() const { return fd_; }

  private:
    int fd_;
};

// A listening socket on 127.0.0.1 with an ephemeral port.
UniqueFd listenOnLoopback(int& port);

// A port on 127.0.0.1 with nothing listening on it.
int unusedLoopbackPort();

// Accepts connections in the kernel's backlog but never reads or answers: a hung node.
class SilentListener {
  public:
    SilentListener() : fd_(listenOnLoopback(port_)) {}
    std::string endpoint() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    int port_ = 0;
    UniqueFd fd_;
};

// A minimal HTTP/1.1 server on 127.0.0.1 that records each request and answers it through a
// handler, one thread per connection. Every thread ends when the server is destroyed. By default
// each connection carries one request; a server that keeps connections serves them until the
// client closes them or a reply says otherwise.
class TestHttpServer {
  public:
    struct Request {
        std::string requestLine;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        // The value of a header, its name compared without case.
        std::optional<std::string> header(std::string_view name) const;
    };
    struct Reply {
        int status = 200;
        std::string body;
        // Closes a kept connection after this reply without saying so, as a node does with one
        // left idle too long.
        bool closeAfter = false;
    };
    enum class Connections { onePerRequest, kept };
    // nullopt closes the connection without an answer. The token fires when the server stops.
    using Handler = std::function<std::optional<Reply>(const Request&, std::stop_token)>;

    explicit TestHttpServer(Handler handler, Connections connections = Connections::onePerRequest);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::string endpoint() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
    std::vector<Request> requests() const;
    std::size_t connectionsAccepted() const;
    // True once `count` requests have arrived, false if they did not within `limit`.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds limit) const;

  private:
    void acceptLoop(std::stop_token stop);
    void serve(UniqueFd connection, std::stop_token stop);

    Handler handler_;
    Connections connectionsKind_;
    int port_ = 0;
    UniqueFd listener_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Request> requests_;
    std::vector<std::jthread> connections_;
    std::stop_source stop_;
    std::jthread acceptor_;
};

// A reply envelope as the node writes it.
std::string envelope(std::string_view result, std::string_view error = "null");

}  // namespace corvanta::testing
