#include "corvanta/rpc/RPCErrors.h"

#include <utility>

namespace corvanta {
namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

std::string describe(const RPCTransportError::Kind& kind) {
    return std::visit(
        Overloaded{
            [](const RPCTransportError::HttpStatus& value) {
                return "the node answered with HTTP status " + std::to_string(value.status);
            },
            [](const RPCTransportError::CookieUnreadable& value) {
                return "the node's cookie file cannot be read: " + value.path;
            },
            [](const RPCTransportError::MalformedCookie& value) {
                return "the node's cookie file is malformed: " + value.path;
            },
            [](const RPCTransportError::EmptyResult&) {
                return std::string("the node answered without a result");
            },
            [](const RPCTransportError::Network& value) {
                const char* what = value.timedOut        ? "the node did not answer in time: "
                                   : value.cannotConnect ? "the node cannot be reached: "
                                                         : "the request to the node failed: ";
                return what + value.description;
            },
            [](const RPCTransportError::ReplyTooLarge& value) {
                return "the node's answer is longer than " + std::to_string(value.limitBytes) +
                       " bytes, the most this request accepts";
            },
        },
        kind);
}

}  // namespace

RPCError::RPCError(int code, std::string message)
    : std::runtime_error("RPC error " + std::to_string(code) + ": " + message),
      code_(code),
      message_(std::move(message)) {}

RPCTransportError::RPCTransportError(Kind kind)
    : std::runtime_error(describe(kind)), kind_(std::move(kind)) {}

}  // namespace corvanta
