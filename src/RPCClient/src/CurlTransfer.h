#pragma once

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

namespace corvanta::detail {

struct HttpPost {
    std::string url;
    std::vector<std::string> headers;  // "Name: value"; "Name:" removes a header libcurl would add
    std::string body;
    std::chrono::milliseconds timeout;  // for the whole exchange
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

}  // namespace corvanta::detail
