#include "corvanta/rpc/RPCClient.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "CurlTransfer.h"
#include "corvanta/support/CancellableWait.h"

namespace corvanta {
namespace {

// libcurl reads a zero timeout as "wait for ever"; only a positive, finite one is a timeout.
std::chrono::milliseconds timeoutFromSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0) {
        throw std::invalid_argument("RPC timeout must be a positive number of seconds, got " +
                                    std::to_string(seconds));
    }
    const double milliseconds = std::ceil(seconds * 1000.0);
    constexpr auto kLongest = static_cast<double>(std::numeric_limits<long>::max());
    return std::chrono::milliseconds(
        static_cast<std::chrono::milliseconds::rep>(std::min(milliseconds, kLongest)));
}

}  // namespace

RPCClient::RPCClient(std::string endpoint, RPCCredentials credentials)
    : endpoint_(std::move(endpoint)), credentials_(std::move(credentials)) {
    detail::ensureCurlReady();
}

RPCClient::RawReply RPCClient::perform(std::string_view method, const std::vector<RPCParam>& params,
                                       double timeoutSeconds, std::stop_token stop,
                                       std::size_t maxBodyBytes) const {
    return performOver(nullptr, method, params, timeoutSeconds, std::move(stop), maxBodyBytes);
}

RPCClient::RawReply RPCClient::performOver(detail::KeptChannel* channel, std::string_view method,
                                           const std::vector<RPCParam>& params,
                                           double timeoutSeconds, std::stop_token stop,
                                           std::size_t maxBodyBytes) const {
    throwIfStopRequested(stop);
    const detail::HttpPost request{
        .url = endpoint_,
        .headers = {"Content-Type: application/json",
                    "Authorization: " + credentials_.authorizationHeader(),
                    // Without this, libcurl holds a large body (a whole block) back for up to
                    // a second waiting for "100 Continue".
                    "Expect:"},
        .body = encodeRPCRequest(method, params),
        .timeout = timeoutFromSeconds(timeoutSeconds),
        .maxBodyBytes = maxBodyBytes,
    };
    detail::HttpAnswer answer = channel != nullptr ? channel->post(request, std::move(stop))
                                                   : detail::postOverCurl(request, std::move(stop));
    return RawReply{std::move(answer.body), answer.status};
}

RPCClient::KeptConnection::KeptConnection(std::shared_ptr<const RPCClient> client)
    : client_(std::move(client)), channel_(std::make_unique<detail::KeptChannel>()) {
    if (!client_) throw std::invalid_argument("a kept connection needs a client");
}

RPCClient::KeptConnection::~KeptConnection() = default;

json::Value RPCClient::call(std::string_view method, const std::vector<RPCParam>& params,
                            double timeoutSeconds, std::stop_token stop) const {
    return resultOf(perform(method, params, timeoutSeconds, std::move(stop)));
}

std::optional<json::Value> RPCClient::callOptional(std::string_view method,
                                                   const std::vector<RPCParam>& params,
                                                   double timeoutSeconds,
                                                   std::stop_token stop) const {
    return optionalResultOf(perform(method, params, timeoutSeconds, std::move(stop)));
}

}  // namespace corvanta
