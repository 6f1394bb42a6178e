#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/CancellableWait.h"
#include "corvanta/support/Cancelled.h"

namespace corvanta {
namespace {

using namespace std::chrono_literals;
using testing::envelope;
using testing::SilentListener;
using testing::TestHttpServer;

const RPCCredentials kCredentials{"__cookie__", "s3cret:with:colons"};

TestHttpServer::Handler answering(int status, std::string body) {
    return [status, body](const TestHttpServer::Request&, std::stop_token) {
        return std::optional(TestHttpServer::Reply{status, body});
    };
}

RPCTransportError::Network networkFailure(const std::function<void()>& action) {
    try {
        action();
    } catch (const RPCTransportError& error) {
        if (const auto* network = std::get_if<RPCTransportError::Network>(&error.kind())) {
            return *network;
        }
        ADD_FAILURE() << "not a network failure: " << error.what();
        return {};
    }
    ADD_FAILURE() << "no RPCTransportError thrown";
    return {};
}

TEST(RPCClientOverHttp, SendsOnePostWithTheNodesHeadersAndBody) {
    TestHttpServer server(answering(200, envelope(R"({"height":1})")));
    const RPCClient client(server.endpoint(), kCredentials);

    const RPCParam request = RPCParam::object({
        {"rules", RPCParam::array({RPCParam::string("segwit")})},
        {"longpollid", RPCParam::string("47d0111")},
    });
    const json::Value result = client.call("getblocktemplate", {request}, 30, {});
    EXPECT_EQ(result, json::parse(R"({"height":1})"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& sent = requests.front();
    EXPECT_EQ(sent.requestLine, "POST / HTTP/1.1");
    EXPECT_EQ(sent.header("Content-Type"), "application/json");
    EXPECT_EQ(sent.header("Authorization"), kCredentials.authorizationHeader());
    EXPECT_EQ(sent.header("Expect"), std::nullopt);
    EXPECT_EQ(sent.body, R"({"id":"corvanta","jsonrpc":"1.0","method":"getblocktemplate",)"
                         R"("params":[{"longpollid":"47d0111","rules":["segwit"]}]})");
}

TEST(RPCClientOverHttp, LargeBodyGoesOutWholeWithoutWaitingForContinue) {
    TestHttpServer server(answering(200, envelope("null")));
    const RPCClient client(server.endpoint(), kCredentials);
    std::string block(4'000'000, 'a');
    block.back() = 'f';

    EXPECT_EQ(client.callOptional("submitblock", {RPCParam::string(block)}, 30, {}), std::nullopt);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().header("Expect"), std::nullopt);
    EXPECT_EQ(requests.front().body, encodeRPCRequest("submitblock", {RPCParam::string(block)}));
}

TEST(RPCClientOverHttp, RepliesOfTheNodeMapToTheirErrors) {
    {
        TestHttpServer server(answering(401, ""));
        const RPCClient client(server.endpoint(), kCredentials);
        try {
            client.call("getblockcount", {}, 30, {});
            ADD_FAILURE() << "no error";
        } catch (const RPCTransportError& error) {
            EXPECT_EQ(error.kind(), RPCTransportError::Kind(RPCTransportError::HttpStatus{401}));
        }
    }
    {
        TestHttpServer server(answering(
            404, R"({"result":null,"error":{"code":-32601,"message":"Method not found"},"id":3})"));
        const RPCClient client(server.endpoint(), kCredentials);
        try {
            client.callOptional("nosuchmethod", {}, 30, {});
            ADD_FAILURE() << "no error";
        } catch (const RPCError& error) {
            EXPECT_EQ(error, RPCError(-32601, "Method not found"));
        }
    }
}

TEST(RPCClientOverHttp, TypedCallBlamesTheStatusForAResultOfTheWrongType) {
    const auto asCount = [](const json::Value& value) { return json::as<std::int64_t>(value); };
    {
        TestHttpServer server(answering(200, envelope("7")));
        EXPECT_EQ(RPCClient(server.endpoint(), kCredentials).call("n", {}, 30, {}, asCount), 7);
    }
    {
        TestHttpServer server(answering(200, envelope(R"("seven")")));
        const RPCClient client(server.endpoint(), kCredentials);
        EXPECT_THROW(client.call("n", {}, 30, {}, asCount), json::DecodeError);
    }
    {
        TestHttpServer server(answering(500, envelope(R"("seven")")));
        const RPCClient client(server.endpoint(), kCredentials);
        try {
            client.call("n", {}, 30, {}, asCount);
            ADD_FAILURE() << "no error";
        } catch (const RPCTransportError& error) {
            EXPECT_EQ(error.kind(), RPCTransportError::Kind(RPCTransportError::HttpStatus{500}));
        }
    }
}

TEST(RPCClientOverHttp, TimeoutIsATransportErrorNeverCancelled) {
    const SilentListener node;
    const RPCClient client(node.endpoint(), kCredentials);
    const auto started = std::chrono::steady_clock::now();
    const auto failure = networkFailure([&] { client.call("getblockcount", {}, 0.3, {}); });
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(failure.timedOut);
    EXPECT_FALSE(failure.cannotConnect);
    // The fractional timeout is honoured, neither dropped nor rounded to whole seconds.
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, 5s);
}

TEST(RPCClientOverHttp, RefusedOrDroppedConnectionIsCannotConnect) {
    {
        const RPCClient client(
            "http://127.0.0.1:" + std::to_string(testing::unusedLoopbackPort()) + "/",
            kCredentials);
        const auto failure = networkFailure([&] { client.call("getblockcount", {}, 5, {}); });
        EXPECT_FALSE(failure.timedOut);
        EXPECT_TRUE(failure.cannotConnect);
        EXPECT_FALSE(failure.description.empty());
    }
    {
        TestHttpServer server(
            [](const TestHttpServer::Request&, std::stop_token) { return std::nullopt; });
        const RPCClient client(server.endpoint(), kCredentials);
        const auto failure = networkFailure([&] { client.call("getblockcount", {}, 5, {}); });
        EXPECT_FALSE(failure.timedOut);
        EXPECT_TRUE(failure.cannotConnect);
    }
}

TEST(RPCClientOverHttp, TimeoutMustBePositive) {
    const SilentListener node;
    const RPCClient client(node.endpoint(), kCredentials);
    for (const double timeout : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_THROW(client.call("getblockcount", {}, timeout, {}), std::invalid_argument);
    }
}

// The node holds "slow" requests until the client goes away or the server stops.
std::optional<TestHttpServer::Reply> slowOrFast(const TestHttpServer::Request& request,
                                                std::stop_token stop) {
    if (request.body.find(R"("method":"slow")") != std::string::npos) {
        sleepFor(10s, stop);
        return std::nullopt;
    }
    return TestHttpServer::Reply{200, envelope(R"("fast")")};
}

TEST(RPCClientCancellation, StopEndsACallInFlightAtOnce) {
    TestHttpServer server(slowOrFast);
    const RPCClient client(server.endpoint(), kCredentials);
    std::atomic<bool> cancelled = false;
    std::jthread caller([&](std::stop_token stop) {
        try {
            client.call("slow", {}, 120, stop);
        } catch (const Cancelled&) {
            cancelled = true;
        }
    });
    ASSERT_TRUE(server.waitForRequests(1, 5s));
    // Let the transfer settle into its long wait for the answer: a stop must cut that wait
    // short, not be noticed when libcurl next wakes up on its own.
    std::this_thread::sleep_for(300ms);

    const auto stopped = std::chrono::steady_clock::now();
    caller.request_stop();
    caller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 500ms);
    EXPECT_TRUE(cancelled);
}

TEST(RPCClientCancellation, StopRequestedBeforeTheCallSendsNothing) {
    TestHttpServer server(slowOrFast);
    const RPCClient client(server.endpoint(), kCredentials);
    std::stop_source source;
    source.request_stop();
    EXPECT_THROW(client.call("fast", {}, 30, source.get_token()), Cancelled);
    EXPECT_THROW(client.callOptional("fast", {}, 30, source.get_token()), Cancelled);

    // The next call is the first request the node ever sees.
    EXPECT_EQ(client.call("fast", {}, 30, {}), json::Value("fast"));
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(RPCClientCancellation, ALongPollNeverHoldsUpOtherCalls) {
    TestHttpServer server(slowOrFast);
    const RPCClient client(server.endpoint(), kCredentials);
    std::atomic<bool> slowEnded = false;
    std::jthread longPoll([&](std::stop_token stop) {
        try {
            client.call("slow", {}, 120, stop);
        } catch (const Cancelled&) {
        }
        slowEnded = true;
    });
    ASSERT_TRUE(server.waitForRequests(1, 5s));

    constexpr int kCallers = 4;
    std::vector<json::Value> answers(kCallers);
    {
        std::vector<std::jthread> callers;
        for (int i = 0; i < kCallers; ++i) {
            callers.emplace_back([&, i] {
                for (int round = 0; round < 3; ++round) {
                    answers[i] = client.call("fast", {}, 5, {});
                }
            });
        }
    }
    for (const auto& answer : answers) EXPECT_EQ(answer, json::Value("fast"));
    EXPECT_FALSE(slowEnded);
    EXPECT_EQ(server.requests().size(), 1u + kCallers * 3);

    longPoll.request_stop();
    longPoll.join();
    EXPECT_TRUE(slowEnded);
}

}  // namespace
}  // namespace corvanta
