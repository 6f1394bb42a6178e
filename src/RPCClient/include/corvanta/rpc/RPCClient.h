#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/rpc/RPCErrors.h"
#include "corvanta/rpc/RPCParam.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta {

namespace detail {
class KeptChannel;
}

inline constexpr std::string_view kRPCClientVersion = "0.1.0";  // RPCClientInfo.version

struct RPCCredentials {
    std::string user;
    std::string password;

    // "Basic " + Base64(user ":" password).
    std::string authorizationHeader() const;
    // Reads "user:password" from the node's cookie file: a regular file of at most 4 KiB, never
    // through a link, never blocking. Throws RPCTransportError CookieUnreadable / MalformedCookie.
    static RPCCredentials readingCookie(const std::filesystem::path& path);

    bool operator==(const RPCCredentials&) const = default;
};

// The one client through which the system talks to its node: JSON-RPC 1.0 over HTTP POST.
// Immutable after creation and safe to share between threads; any number of calls may be in
// flight at once (a long-poll never holds up a status poll). Nothing is retried here.
//
// Every call blocks until the reply, the timeout (RPCTransportError Network{timedOut}) or a stop
// request on `stop` (corvanta::Cancelled, within milliseconds; a stop requested before the call
// sends nothing). The timeout covers the whole exchange, in seconds (fractions allowed); one
// that is not positive and finite is refused with std::invalid_argument.
class RPCClient {
  public:
    // `endpoint` is the full URL, e.g. "http://127.0.0.1:18443/".
    RPCClient(std::string endpoint, RPCCredentials credentials);

    const std::string& endpoint() const { return endpoint_; }
    const RPCCredentials& credentials() const { return credentials_; }

    // The reply's result. Throws RPCError for an error object (whatever the status),
    // RPCTransportError EmptyResult for a missing or null result, HttpStatus for an undecodable
    // reply with a status other than 200, json::DecodeError for an undecodable 200 reply.
    json::Value call(std::string_view method, const std::vector<RPCParam>& params,
                     double timeoutSeconds, std::stop_token stop) const;

    // As call(), then `decode` turns the result into T; a decoding failure (json::DecodeError)
    // becomes HttpStatus when the status was not 200, as for an undecodable envelope.
    template <typename Decode>
    auto call(std::string_view method, const std::vector<RPCParam>& params, double timeoutSeconds,
              std::stop_token stop, Decode decode) const -> decltype(decode(json::Value{}));

    // What a call whose answer grows with the chain (a scan of the UTXO set) may cost: its reply
    // may hold at most `maxBytes` (a longer one fails with RPCTransportError ReplyTooLarge and is
    // read no further), and only the members of the result that `keep` holds are parsed into
    // values (key paths start below "result"; an empty `keep` keeps the whole result). The node's
    // error object is always read whole.
    struct ReplyBounds {
        std::size_t maxBytes = std::numeric_limits<std::size_t>::max();
        json::KeepMember keep;
    };

    // As call() above, within `bounds`.
    template <typename Decode>
    auto call(std::string_view method, const std::vector<RPCParam>& params, double timeoutSeconds,
              std::stop_token stop, const ReplyBounds& bounds, Decode decode) const
        -> decltype(decode(json::Value{}));

    // For methods whose success is a JSON null (submitblock, proposals). An error object is
    // thrown as RPCError whatever the status; otherwise a status other than 200 is HttpStatus,
    // and a 200 reply gives its result, nullopt for a missing or null one (so a result that the
    // caller then fails to decode came with status 200: its json::DecodeError stands as it is).
    std::optional<json::Value> callOptional(std::string_view method,
                                            const std::vector<RPCParam>& params,
                                            double timeoutSeconds, std::stop_token stop) const;

    struct RawReply {
        std::string body;
        int status = 0;
    };
    // Sends one request and returns the body and HTTP status as they came; a body longer than
    // `maxBodyBytes` fails with RPCTransportError ReplyTooLarge.
    RawReply perform(std::string_view method, const std::vector<RPCParam>& params,
                     double timeoutSeconds, std::stop_token stop,
                     std::size_t maxBodyBytes = std::numeric_limits<std::size_t>::max()) const;

    // The reply rules of call() and callOptional(), apart from the network. `keepResult`, when
    // set, leaves out the members of the result it does not hold (see ReplyBounds).
    static json::Value resultOf(const RawReply& reply, const json::KeepMember& keepResult = {});
    static std::optional<json::Value> optionalResultOf(const RawReply& reply);

    class KeptConnection;

  private:
    RawReply performOver(detail::KeptChannel* channel, std::string_view method,
                         const std::vector<RPCParam>& params, double timeoutSeconds,
                         std::stop_token stop,
                         std::size_t maxBodyBytes = std::numeric_limits<std::size_t>::max()) const;
    template <typename Decode>
    static auto decoded(RawReply reply, Decode& decode, const json::KeepMember& keepResult = {})
        -> decltype(decode(json::Value{}));

    std::string endpoint_;
    RPCCredentials credentials_;
};

// Calls made one after another over one connection kept open between them, rather than a
// connection each: for a long run of small reads, each of which would otherwise open a connection
// and leave it to the system for a minute after closing (a run of tens of thousands every half
// minute keeps as many sockets waiting). Only for calls the node may safely receive twice: when a
// kept connection turns out to be closed before any answer came, libcurl sends the request again on
// a new one. The errors, timeouts and cancellation of RPCClient::call(); after a failed call the
// next one starts on a new connection. One thread at a time.
class RPCClient::KeptConnection {
  public:
    explicit KeptConnection(std::shared_ptr<const RPCClient> client);
    ~KeptConnection();
    KeptConnection(const KeptConnection&) = delete;
    KeptConnection& operator=(const KeptConnection&) = delete;

    template <typename Decode>
    auto call(std::string_view method, const std::vector<RPCParam>& params, double timeoutSeconds,
              std::stop_token stop, Decode decode) -> decltype(decode(json::Value{})) {
        return decoded(
            client_->performOver(channel_.get(), method, params, timeoutSeconds, std::move(stop)),
            decode);
    }

  private:
    std::shared_ptr<const RPCClient> client_;
    std::unique_ptr<detail::KeptChannel> channel_;
};

template <typename Decode>
auto RPCClient::call(std::string_view method, const std::vector<RPCParam>& params,
                     double timeoutSeconds, std::stop_token stop, Decode decode) const
    -> decltype(decode(json::Value{})) {
    return decoded(perform(method, params, timeoutSeconds, std::move(stop)), decode);
}

template <typename Decode>
auto RPCClient::call(std::string_view method, const std::vector<RPCParam>& params,
                     double timeoutSeconds, std::stop_token stop, const ReplyBounds& bounds,
                     Decode decode) const -> decltype(decode(json::Value{})) {
    return decoded(perform(method, params, timeoutSeconds, std::move(stop), bounds.maxBytes),
                   decode, bounds.keep);
}

template <typename Decode>
auto RPCClient::decoded(RawReply reply, Decode& decode, const json::KeepMember& keepResult)
    -> decltype(decode(json::Value{})) {
    const json::Value result = resultOf(reply, keepResult);
    // The text goes before the decoding: a large answer is held whole once at a time.
    std::string().swap(reply.body);
    try {
        return decode(result);
    } catch (const json::DecodeError&) {
        if (reply.status != 200)
            throw RPCTransportError(RPCTransportError::HttpStatus{reply.status});
        throw;
    }
}

}  // namespace corvanta
