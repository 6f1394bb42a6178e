#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <variant>

namespace corvanta {

// The node's own error object ({"code":..,"message":..}), thrown whatever the HTTP status.
class RPCError : public std::runtime_error {
  public:
    RPCError(int code, std::string message);
    int code() const { return code_; }
    const std::string& message() const { return message_; }
    bool operator==(const RPCError& other) const {
        return code_ == other.code_ && message_ == other.message_;
    }

  private:
    int code_;
    std::string message_;
};

// Client-side failures.
class RPCTransportError : public std::runtime_error {
  public:
    // The reply could not be decoded and the HTTP status was not 200.
    struct HttpStatus {
        int status;
        bool operator==(const HttpStatus&) const = default;
    };
    struct CookieUnreadable {
        std::string path;
        bool operator==(const CookieUnreadable&) const = default;
    };
    struct MalformedCookie {
        std::string path;
        bool operator==(const MalformedCookie&) const = default;
    };
    // Neither an error nor a result where a result was required.
    struct EmptyResult {
        bool operator==(const EmptyResult&) const = default;
    };
    // The request never got a reply: refused connection, timeout, reset. `timedOut` is true for a
    // timeout (which is never reported as Cancelled); `cannotConnect` is true when the node could
    // not be reached or dropped the connection (refused, reset, closed without an answer), which
    // the user is told apart from a timeout and from other failures.
    struct Network {
        std::string description;
        bool timedOut = false;
        bool cannotConnect = false;
        bool operator==(const Network&) const = default;
    };
    // The reply was longer than the call allows; nothing past the bound was read.
    struct ReplyTooLarge {
        std::size_t limitBytes = 0;
        bool operator==(const ReplyTooLarge&) const = default;
    };
    using Kind = std::variant<HttpStatus, CookieUnreadable, MalformedCookie, EmptyResult, Network,
                              ReplyTooLarge>;

    explicit RPCTransportError(Kind kind);
    const Kind& kind() const { return kind_; }
    bool operator==(const RPCTransportError& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

}  // namespace corvanta
