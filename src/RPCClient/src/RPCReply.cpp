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
Envelope decodeEnvelope(const std::string& body) {
    const json::Value reply = json::parse(body);
    if (!reply.is_object()) throw json::DecodeError("reply", "expected an object");
    Envelope envelope;
    envelope.result = json::optional<json::Value>(reply, "result");
    if (const auto error = json::optional<json::Value>(reply, "error")) {
        envelope.error.emplace(json::required<int>(*error, "code", "error"),
                               json::required<std::string>(*error, "message", "error"));
    }
    return envelope;
}

// An undecodable reply is the status's fault unless the status was 200, when the decoding
// error itself says what went wrong.
Envelope decodeOrBlameStatus(const RPCClient::RawReply& reply) {
    try {
        return decodeEnvelope(reply.body);
    } catch (const json::DecodeError&) {
        if (reply.status != 200) {
            throw RPCTransportError(RPCTransportError::HttpStatus{reply.status});
        }
        throw;
    }
}

}  // namespace

json::Value RPCClient::resultOf(const RawReply& reply) {
    Envelope envelope = decodeOrBlameStatus(reply);
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
