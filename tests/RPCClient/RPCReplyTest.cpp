#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "TestHttpServer.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

using testing::envelope;
using Reply = RPCClient::RawReply;

constexpr const char* kWarmupError = R"({"code":-28,"message":"Loading banlist…"})";

RPCTransportError::Kind transportKind(const std::function<void()>& action) {
    try {
        action();
    } catch (const RPCTransportError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no RPCTransportError thrown";
    return RPCTransportError::EmptyResult{};
}

RPCError rpcError(const std::function<void()>& action) {
    try {
        action();
    } catch (const RPCError& error) {
        return error;
    }
    ADD_FAILURE() << "no RPCError thrown";
    return RPCError(0, "");
}

TEST(RPCReply, ResultIsReturnedWhatever) {
    EXPECT_EQ(RPCClient::resultOf(Reply{envelope("108"), 200}), json::Value(108));
    EXPECT_EQ(RPCClient::resultOf(Reply{R"({"jsonrpc":"2.0","result":108,"id":1})", 200}),
              json::Value(108));
    EXPECT_EQ(RPCClient::optionalResultOf(Reply{envelope(R"("inconclusive")"), 200}),
              json::Value("inconclusive"));
    // The id and any other key are not read.
    EXPECT_EQ(RPCClient::resultOf(Reply{R"({"result":{"a":[1]},"id":7,"extra":true})", 200}),
              json::parse(R"({"a":[1]})"));
}

TEST(RPCReply, NullOrAbsentResult) {
    for (const std::string& body : {envelope("null"), std::string(R"({"id":"corvanta"})"),
                                    std::string(R"({"result":null})")}) {
        SCOPED_TRACE(body);
        EXPECT_EQ(transportKind([&] {
                      RPCClient::resultOf(Reply{body, 200});
                  }),
                  RPCTransportError::Kind(RPCTransportError::EmptyResult{}));
        EXPECT_EQ(RPCClient::optionalResultOf(Reply{body, 200}), std::nullopt);
    }
}

TEST(RPCReply, ErrorObjectWinsWhateverTheStatusAndAnyResult) {
    for (const int status : {200, 401, 404, 500}) {
        for (const char* result : {"null", "108", R"({"x":1})"}) {
            const std::string body = envelope(result, kWarmupError);
            SCOPED_TRACE(body + " " + std::to_string(status));
            const RPCError expected(-28, "Loading banlist…");
            EXPECT_EQ(rpcError([&] { RPCClient::resultOf(Reply{body, status}); }), expected);
            EXPECT_EQ(rpcError([&] {
                          RPCClient::optionalResultOf(Reply{body, status});
                      }),
                      expected);
        }
    }
}

TEST(RPCReply, UndecodableReplyIsTheStatusUnlessItWas200) {
    const std::string undecodable[] = {
        "",
        "JSONRPC server handles only POST requests",
        "[1,2]",
        "108",
        R"({"result":1,"error":{"code":-1}})",  // an error object needs its message
        R"({"result":1,"error":{"message":"m"}})",
        R"({"result":1,"error":{"code":"-1","message":"m"}})",
        R"({"result":1,"error":{"code":-1.5,"message":"m"}})",
        R"({"result":1,"error":{"code":-1,"message":null}})",
        R"({"result":1,"error":"refused"})",
        R"({"result":1)",
    };
    for (const auto& body : undecodable) {
        SCOPED_TRACE(body);
        for (const int status : {401, 404, 500, 0}) {
            const RPCTransportError::Kind expected = RPCTransportError::HttpStatus{status};
            EXPECT_EQ(transportKind([&] { RPCClient::resultOf(Reply{body, status}); }), expected);
            EXPECT_EQ(transportKind([&] {
                          RPCClient::optionalResultOf(Reply{body, status});
                      }),
                      expected);
        }
        EXPECT_THROW(RPCClient::resultOf(Reply{body, 200}), json::DecodeError);
        EXPECT_THROW(RPCClient::optionalResultOf(Reply{body, 200}), json::DecodeError);
    }
}

TEST(RPCReply, OptionalCallRefusesAnErrorStatusWithoutAnErrorObject) {
    for (const int status : {401, 404, 500}) {
        for (const char* result : {"null", R"("duplicate")"}) {
            const RPCTransportError::Kind expected = RPCTransportError::HttpStatus{status};
            EXPECT_EQ(transportKind([&] {
                          RPCClient::optionalResultOf(Reply{envelope(result), status});
                      }),
                      expected);
        }
    }
    // A required result is still taken from a decodable reply whatever its status.
    EXPECT_EQ(RPCClient::resultOf(Reply{envelope("5"), 500}), json::Value(5));
    EXPECT_EQ(transportKind([&] {
                  RPCClient::resultOf(Reply{envelope("null"), 500});
              }),
              RPCTransportError::Kind(RPCTransportError::EmptyResult{}));
}

}  // namespace
}  // namespace corvanta
