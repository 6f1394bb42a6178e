#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "TestSupport.h"
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

TEST(RPCClientOverHttp, SendsOnePostWithTheNodesHeadersAndTheWholeBody) {
    TestHttpServer server(answering(200, envelope(R"({"height":1})")));
    const RPCClient client(server.endpoint(), kCredentials);
    // Large enough that a client waiting for "100 Continue" would stall.
    std::string block(4'000'000, 'a');
    block.back() = 'f';
    EXPECT_EQ(client.call("submitblock", {RPCParam::string(block)}, 30, {}),
              json::parse(R"({"height":1})"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& sent = requests.front();
    EXPECT_EQ(sent.requestLine, "POST / HTTP/1.1");
    EXPECT_EQ(sent.header("Content-Type"), "application/json");
    EXPECT_EQ(sent.header("Authorization"), kCredentials.authorizationHeader());
    EXPECT_EQ(sent.header("Expect"), std::nullopt);
    EXPECT_EQ(sent.body, encodeRPCRequest("submitblock", {RPCParam::string(block)}));
}

TEST(RPCClientOverHttp, StatusAndErrorsComeThroughTheTypedCall) {
    const auto asCount = [](const json::Value& value) { return json::as<std::int64_t>(value); };
    const auto call = [&](int status, const std::string& body) {
        TestHttpServer server(answering(status, body));
        return RPCClient(server.endpoint(), kCredentials).call("n", {}, 30, {}, asCount);
    };
    EXPECT_EQ(call(200, envelope("7")), 7);
    EXPECT_THROW(call(200, envelope(R"("seven")")), json::DecodeError);
    // A wrong type under an error status blames the status.
    for (const auto& [status, body] : {std::pair{500, envelope(R"("seven")")}, {401, ""}}) {
        try {
            call(status, body);
            ADD_FAILURE() << "no error for " << status;
        } catch (const RPCTransportError& error) {
            EXPECT_EQ(error.kind(), RPCTransportError::Kind(RPCTransportError::HttpStatus{status}));
        }
    }
    EXPECT_THROW(call(404, envelope("null", R"({"code":-32601,"message":"Method not found"})")),
                 RPCError);
}

// Answers one request with `body` and no Content-Length, then closes: the length is known only
// at the end.
class UnannouncedReply {
  public:
    explicit UnannouncedReply(std::string body)
        : listener_(testing::listenOnLoopback(port_)), server_([this, body = std::move(body)] {
              const testing::UniqueFd connection(accept(listener_.get(), nullptr, nullptr));
              if (connection.get() < 0) return;
              std::string request;
              char buffer[4096];
              // The request's head and its short body come in the first reads.
              while (request.find("\r\n\r\n") == std::string::npos) {
                  const auto got = read(connection.get(), buffer, sizeof buffer);
                  if (got <= 0) return;
                  request.append(buffer, std::size_t(got));
              }
              const std::string reply = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body;
              for (std::size_t sent = 0; sent < reply.size();) {
                  const auto wrote = send(connection.get(), reply.data() + sent,
                                          reply.size() - sent, MSG_NOSIGNAL);
                  if (wrote <= 0) return;  // the client gave up past its bound
                  sent += std::size_t(wrote);
              }
          }) {}
    ~UnannouncedReply() { server_.join(); }
    std::string endpoint() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    int port_ = 0;
    testing::UniqueFd listener_;
    std::thread server_;
};

TEST(RPCClientOverHttp, AReplyPastItsBoundIsRefusedWhetherItsLengthIsAnnouncedOrNot) {
    const std::string text(200'000, 'a');
    const std::string body = envelope("\"" + text + "\"");
    const auto asText = [](const json::Value& value) { return json::as<std::string>(value); };
    const auto tooLarge = [&](const std::string& endpoint, std::size_t bound) {
        try {
            RPCClient(endpoint, kCredentials)
                .call("scan", {}, 30, {}, RPCClient::ReplyBounds{.maxBytes = bound, .keep = {}},
                      asText);
        } catch (const RPCTransportError& error) {
            return error.kind() == RPCTransportError::Kind(RPCTransportError::ReplyTooLarge{bound});
        }
        return false;
    };
    {
        TestHttpServer server(answering(200, body));
        EXPECT_TRUE(tooLarge(server.endpoint(), body.size() - 1));
        // Exactly at the bound it is read, and a call without one reads it too.
        const RPCClient client(server.endpoint(), kCredentials);
        EXPECT_EQ(client.call("scan", {}, 30, {},
                              RPCClient::ReplyBounds{.maxBytes = body.size(), .keep = {}}, asText),
                  text);
        EXPECT_EQ(client.call("scan", {}, 30, {}, asText), text);
    }
    {
        UnannouncedReply server(body);
        EXPECT_TRUE(tooLarge(server.endpoint(), 64 * 1024));
    }
    {
        UnannouncedReply server(body);
        EXPECT_EQ(RPCClient(server.endpoint(), kCredentials)
                      .call("scan", {}, 30, {},
                            RPCClient::ReplyBounds{.maxBytes = body.size(), .keep = {}}, asText),
                  text);
    }
}

TEST(RPCClientOverHttp, TimeoutIsATransportErrorNeverCancelled) {
    const SilentListener node;
    const RPCClient client(node.endpoint(), kCredentials);
    for (const double timeout : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_THROW(client.call("getblockcount", {}, timeout, {}), std::invalid_argument);
    }
    const auto started = std::chrono::steady_clock::now();
    const auto failure = networkFailure([&] { client.call("getblockcount", {}, 0.3, {}); });
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(failure.timedOut);
    EXPECT_FALSE(failure.cannotConnect);
    // The fractional timeout is honoured, not rounded down to nothing, and not dropped: the
    // listener never answers, so a call without its timeout would wait past the tests' patience.
    EXPECT_GE(elapsed, 290ms);
    EXPECT_LT(elapsed, testing::patience);
}

TEST(RPCClientOverHttp, RefusedOrDroppedConnectionIsCannotConnect) {
    TestHttpServer dropping(
        [](const TestHttpServer::Request&, std::stop_token) { return std::nullopt; });
    for (const std::string& endpoint :
         {"http://127.0.0.1:" + std::to_string(testing::unusedLoopbackPort()) + "/",
          dropping.endpoint()}) {
        const RPCClient client(endpoint, kCredentials);
        const auto failure = networkFailure([&] { client.call("getblockcount", {}, 5, {}); });
        EXPECT_FALSE(failure.timedOut) << endpoint;
        EXPECT_TRUE(failure.cannotConnect) << endpoint;
    }
}

// The node holds "slow" requests until the client goes away or the server stops.
std::optional<TestHttpServer::Reply> slowOrFast(const TestHttpServer::Request& request,
                                                std::stop_token stop) {
    if (request.body.find(R"("method":"slow")") != std::string::npos) {
        sleepFor(2 * testing::patience, stop);
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
    ASSERT_TRUE(server.waitForRequests(1, testing::patience));
    // Let the transfer settle into its long wait for the answer, which the server holds for
    // longer than the tests' patience: the stop must end it, not the answer.
    std::this_thread::sleep_for(300ms);

    caller.request_stop();
    EXPECT_TRUE(testing::eventually([&] { return cancelled.load(); }));
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
    ASSERT_TRUE(server.waitForRequests(1, testing::patience));

    constexpr int kCallers = 4;
    std::vector<json::Value> answers(kCallers);
    {
        std::vector<std::jthread> callers;
        for (int i = 0; i < kCallers; ++i) {
            callers.emplace_back([&, i] {
                for (int round = 0; round < 3; ++round) {
                    answers[i] = client.call("fast", {}, 30, {});
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

// The history's re-check asks about every block it holds in a row, over one kept connection.

std::string methodOf(const TestHttpServer::Request& request) {
    return json::Value::parse(request.body).at("method").get<std::string>();
}

const auto asIs = [](const json::Value& result) { return result; };

TEST(RPCClientKeptConnection, ARunOfCallsSharesOneConnectionEachWithItsOwnAnswer) {
    TestHttpServer server(
        [](const TestHttpServer::Request& request, std::stop_token) {
            const std::string method = methodOf(request);
            if (method == "unknown") {
                return std::optional(TestHttpServer::Reply{
                    404, envelope("null", R"({"code":-5,"message":"Block not found"})")});
            }
            return std::optional(TestHttpServer::Reply{200, envelope('"' + method + '"')});
        },
        TestHttpServer::Connections::kept);
    const auto client = std::make_shared<const RPCClient>(server.endpoint(), kCredentials);
    RPCClient::KeptConnection connection(client);
    for (int i = 0; i < 50; ++i) {
        const std::string method = "call" + std::to_string(i);
        EXPECT_EQ(connection.call(method, {}, 30, {}, asIs), json::Value(method));
        // The node's refusal is an answer like any other: the connection stays.
        if (i == 25) {
            EXPECT_THROW(connection.call("unknown", {}, 30, {}, asIs), RPCError);
        }
    }
    EXPECT_EQ(server.connectionsAccepted(), 1u);

    // Every other call has a connection of its own.
    EXPECT_EQ(client->call("plain", {}, 30, {}), json::Value("plain"));
    EXPECT_EQ(client->call("plain", {}, 30, {}), json::Value("plain"));
    EXPECT_EQ(server.connectionsAccepted(), 3u);
}

TEST(RPCClientKeptConnection, AConnectionTheNodeClosedIsReplacedUnnoticed) {
    TestHttpServer server(
        [](const TestHttpServer::Request& request, std::stop_token) {
            const std::string method = methodOf(request);
            return std::optional(TestHttpServer::Reply{200, envelope('"' + method + '"'),
                                                       /*closeAfter=*/method == "last"});
        },
        TestHttpServer::Connections::kept);
    RPCClient::KeptConnection connection(
        std::make_shared<const RPCClient>(server.endpoint(), kCredentials));
    for (const std::string method : {"first", "last", "after", "again"}) {
        EXPECT_EQ(connection.call(method, {}, 30, {}, asIs), json::Value(method));
    }
    EXPECT_EQ(server.connectionsAccepted(), 2u);
}

// A call that ended without its answer must not leave that answer to be read as the next one's.
TEST(RPCClientKeptConnection, AfterATimeoutOrAStopTheNextCallGetsItsOwnAnswer) {
    std::atomic<bool> clientGaveUp = false;
    TestHttpServer server(
        [&](const TestHttpServer::Request& request, std::stop_token stop) {
            const std::string method = methodOf(request);
            if (method == "slow") {
                // The late answer comes once the client has given up on it.
                while (!clientGaveUp && !stop.stop_requested()) std::this_thread::sleep_for(5ms);
                return std::optional(TestHttpServer::Reply{200, envelope(R"("late")")});
            }
            return std::optional(TestHttpServer::Reply{200, envelope('"' + method + '"')});
        },
        TestHttpServer::Connections::kept);
    RPCClient::KeptConnection connection(
        std::make_shared<const RPCClient>(server.endpoint(), kCredentials));
    ASSERT_EQ(connection.call("warm", {}, 30, {}, asIs), json::Value("warm"));

    const auto timeout = networkFailure([&] { connection.call("slow", {}, 0.3, {}, asIs); });
    EXPECT_TRUE(timeout.timedOut);
    clientGaveUp = true;
    EXPECT_EQ(connection.call("next", {}, 30, {}, asIs), json::Value("next"));

    clientGaveUp = false;
    std::stop_source stop;
    std::jthread stopper([&] {
        if (server.waitForRequests(4, testing::patience)) stop.request_stop();
    });
    EXPECT_THROW(connection.call("slow", {}, 120, stop.get_token(), asIs), Cancelled);
    clientGaveUp = true;
    EXPECT_EQ(connection.call("last", {}, 30, {}, asIs), json::Value("last"));
    EXPECT_EQ(server.connectionsAccepted(), 3u);
}

}  // namespace
}  // namespace corvanta
