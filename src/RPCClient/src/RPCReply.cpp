// The reply rules: which body and status become a result, an RPCError or a transport error.
#include <optional>

#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

struct Envelope {
    std::optional<json::Value> result;
    std::optional<RPCError> error;
};

// Reads only "result" and "error"; "id" and any other key are ignored. An "error" object that
// lacks an integer "code" or a string "message" makes the whole reply undecodable.
// Members other than the result and the error are never read, so never kept either.
json::Value parseReply(const std::string& body, const json::KeepMember& keepResult) {
    if (!keepResult) return json::parse(body);
    return json::parse(body, [&](json::KeyPath path) {
        if (path.front() == "error") return true;
        return path.front() == "result" && (path.size() == 1 || keepResult(path.subspan(1)));
    });
}

Envelope decodeEnvelope(const std::string& body, const json::KeepMember& keepResult) {
    json::Value reply = parseReply(body, keepResult);
    if (!reply.is_object()) throw json::DecodeError("reply", "expected an object");
    Envelope envelope;
    envelope.result = json::take(reply, "result");
    if (const auto error = json::optional<json::Value>(reply, "error")) {
        envelope.error.emplace(json::required<int>(*error, "code", "error"),
                               json::required<std::string>(*error, "message", "error"));
    }
    return envelope;
}

// An undecodable reply is the status's fault unless the status was 200, when the decoding
// error itself says what went wrong.
Envelope decodeOrBlameStatus(const RPCClient::RawReply& reply,
                             const json::KeepMember& keepResult = {}) {
    try {
        return decodeEnvelope(reply.body, keepResult);
    } catch (const json::DecodeError&) {
        if (reply.status != 200) {
            throw RPCTransportError(RPCTransportError::HttpStatus{reply.status});
        }
        throw;
    }
}

}  // namespace

json::Value RPCClient::resultOf(const RawReply& reply, const json::KeepMember& keepResult) {
    Envelope envelope = decodeOrBlameStatus(reply, keepResult);
    if (envelope.error) throw *envelope.error;
    if (!envelope.result) throw RPCTransportError(RPCTransportError::EmptyResult{});
    return std::move(*envelope.result);
}

std::optional<json::Value> RPCClient::optionalResultOf(const RawReply& reply) {
    Envelope envelope = decodeOrBlameStatus(reply);
    if (envelope.error) throw *envelope.error;
    if (reply.status != 200) throw RPCTransportError(RPCTransportError::HttpStatus{reply.status});
    return std::move(envelope.result);
}

}  // namespace corvanta
