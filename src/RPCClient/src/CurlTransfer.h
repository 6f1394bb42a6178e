#pragma once

#include <chrono>
#include <cstddef>
#include <limits>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace corvanta::detail {

struct HttpPost {
    std::string url;
    std::vector<std::string> headers;  // "Name: value"; "Name:" removes a header libcurl would add
    std::string body;
    std::chrono::milliseconds timeout;  // for the whole exchange
    // A longer answer ends the exchange with RPCTransportError ReplyTooLarge, as soon as its
    // announced length or what has come of it passes the bound.
    std::size_t maxBodyBytes = std::numeric_limits<std::size_t>::max();
};

struct HttpAnswer {
    std::string body;
    int status = 0;
};

// Makes libcurl ready for use from any thread; safe to call any number of times.
void ensureCurlReady();

// Sends one POST on its own easy and multi handles, so calls never wait on one another.
// Throws RPCTransportError Network when no answer came (timedOut for the timeout) and Cancelled
// as soon as `stop` is requested, before or during the exchange.
HttpAnswer postOverCurl(const HttpPost& request, std::stop_token stop);

// Sends POSTs one after another over one connection, kept open between them (a new one when the
// server has closed it, when it has been idle for 20 s, or after a failed exchange). The errors
// are those of postOverCurl. Not for concurrent use.
class KeptChannel {
  public:
    KeptChannel();
    ~KeptChannel();
    KeptChannel(const KeptChannel&) = delete;
    KeptChannel& operator=(const KeptChannel&) = delete;

    HttpAnswer post(const HttpPost& request, std::stop_token stop);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace corvanta::detail
