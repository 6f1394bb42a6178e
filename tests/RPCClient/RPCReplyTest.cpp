#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "TestHttpServer.h"
#include "corvanta/rpc/RPCClient.h"

namespace corvanta {
namespace {

using testing::envelope;
using Reply = RPCClient::RawReply;

// What a reading of the reply gave, in a form a table can hold.
std::string outcome(const std::function<std::optional<json::Value>()>& read) {
    try {
        const auto value = read();
        return value ? value->dump() : "none";
    } catch (const RPCError& error) {
        return "rpc " + std::to_string(error.code()) + " " + error.message();
    } catch (const RPCTransportError& error) {
        if (const auto* status = std::get_if<RPCTransportError::HttpStatus>(&error.kind())) {
            return "http " + std::to_string(status->status);
        }
        return std::holds_alternative<RPCTransportError::EmptyResult>(error.kind()) ? "empty"
                                                                                    : "transport";
    } catch (const json::DecodeError&) {
        return "undecodable";
    }
}

TEST(RPCReply, StatusAndBodyPermutations) {
    const std::string warmup = envelope("108", R"({"code":-28,"message":"Loading banlist…"})");
    const std::string undecodable[] = {
        "",
        "JSONRPC server handles only POST requests",
        "[1,2]",
        R"({"result":1,"error":{"code":-1}})",  // an error object needs its message
        R"({"result":1,"error":{"code":-1.5,"message":"m"}})",
        R"({"result":1,"error":{"code":"-1","message":"m"}})",
        R"({"result":1,"error":"refused"})",
        R"({"result":1)",
        // Numbers no double holds, and nesting too deep to trust.
        "1e400",
        R"({"result":2e808})",
        R"({"result":[7E333]})",
        R"({"result":1,"error":{"code":1e400,"message":"m"}})",
        R"({"result":)" + std::string(75'000, '[') + std::string(75'000, ']') + "}",
    };
    struct Row {
        std::string body;
        int status;
        std::string required, optional;
    };
    std::vector<Row> rows = {
        {envelope("108"), 200, "108", "108"},
        {R"({"jsonrpc":"2.0","result":{"a":[1]},"id":7,"extra":true})", 200, R"({"a":[1]})",
         R"({"a":[1]})"},
        {envelope("null"), 200, "empty", "none"},
        {R"({"id":"corvanta"})", 200, "empty", "none"},
        // A decodable result is taken whatever the status; an optional one needs a 200.
        {envelope("5"), 500, "5", "http 500"},
        {envelope("null"), 500, "empty", "http 500"},
        {envelope(R"("duplicate")"), 404, R"("duplicate")", "http 404"},
    };
    for (const int status : {200, 401, 404, 500}) {
        rows.push_back({warmup, status, "rpc -28 Loading banlist…", "rpc -28 Loading banlist…"});
    }
    for (const auto& body : undecodable) {
        rows.push_back({body, 200, "undecodable", "undecodable"});
        for (const int status : {401, 500, 0}) {
            const std::string expected = "http " + std::to_string(status);
            rows.push_back({body, status, expected, expected});
        }
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.body + " with status " + std::to_string(row.status));
        const Reply reply{row.body, row.status};
        EXPECT_EQ(outcome([&] { return RPCClient::resultOf(reply); }), row.required);
        EXPECT_EQ(outcome([&] { return RPCClient::optionalResultOf(reply); }), row.optional);
    }
}

TEST(RPCReply, ABoundedReadingKeepsTheChosenResultMembersAndTheWholeError) {
    const auto keepAmounts = [](json::KeyPath path) {
        return path[0] == "outputs" && (path.size() == 1 || path[1] == "amount");
    };
    const std::string scan =
        R"({"result":{"outputs":[{"amount":1,"txid":"ab"},{"amount":2}],"bestblock":"cd"},)"
        R"("error":null,"id":"corvanta"})";
    EXPECT_EQ(RPCClient::resultOf(Reply{scan, 200}, keepAmounts),
              json::parse(R"({"outputs":[{"amount":1},{"amount":2}]})"));
    // The error object is read whole whatever is kept, and the reply rules stand as they are.
    const std::string refused =
        envelope("5", R"({"code":-8,"message":"Scan already in progress"})");
    EXPECT_EQ(outcome([&] {
                  return RPCClient::resultOf(Reply{refused, 500}, keepAmounts);
              }),
              "rpc -8 Scan already in progress");
    EXPECT_EQ(outcome([&] {
                  return RPCClient::resultOf(Reply{R"({"result":1,"error":{"code":-1}})", 500},
                                             keepAmounts);
              }),
              "http 500");
    EXPECT_EQ(outcome([&] {
                  return RPCClient::resultOf(Reply{envelope("null"), 200}, keepAmounts);
              }),
              "empty");
    EXPECT_EQ(outcome([&] {
                  return RPCClient::resultOf(Reply{"[1]", 200}, keepAmounts);
              }),
              "undecodable");
}

}  // namespace
}  // namespace corvanta
