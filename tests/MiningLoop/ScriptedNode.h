#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TestHttpServer.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/StrictJson.h"

namespace corvanta::testing {

// A node that answers "submitblock" from a script and every proposal as valid, over real HTTP,
// so that transport failures are real ones.
class ScriptedNode {
  public:
    // One answer: a JSON result ("null", "\"duplicate\""), an RPC error object, or a connection
    // closed without a reply. `before` runs first, on the server's thread.
    struct Answer {
        std::string result = "null";
        std::optional<std::string> error;
        bool drop = false;
        std::function<void()> before;
    };
    static Answer accepted(std::function<void()> before = {}) {
        Answer answer;
        answer.before = std::move(before);
        return answer;
    }
    static Answer verdict(const std::string& text) {
        Answer answer;
        answer.result = "\"" + text + "\"";
        return answer;
    }
    static Answer dropped() {
        Answer answer;
        answer.drop = true;
        return answer;
    }
    static Answer rpcError() {
        Answer answer;
        answer.error = R"({"code":-22,"message":"Block decode failed"})";
        return answer;
    }

    // Submissions beyond the script are accepted; proposals get `proposalAnswer`.
    explicit ScriptedNode(std::deque<Answer> submissions, std::string proposalAnswer = "null")
        : submissions_(std::move(submissions)),
          proposalAnswer_(std::move(proposalAnswer)),
          server_([this](const TestHttpServer::Request& request, std::stop_token) {
              return answer(request);
          }) {}

    std::shared_ptr<const RPCClient> client() const {
        return std::make_shared<RPCClient>(server_.endpoint(), RPCCredentials{"u", "p"});
    }
    std::vector<std::chrono::steady_clock::time_point> submissionTimes() const {
        std::lock_guard lock(mutex_);
        return submissionTimes_;
    }
    std::size_t submissionCount() const { return submissionTimes().size(); }

  private:
    std::optional<TestHttpServer::Reply> answer(const TestHttpServer::Request& request) {
        const auto call = json::parse(request.body);
        if (json::required<std::string>(call, "method") != "submitblock") {
            return TestHttpServer::Reply{200, envelope(proposalAnswer_)};
        }
        Answer next;
        {
            std::lock_guard lock(mutex_);
            submissionTimes_.push_back(std::chrono::steady_clock::now());
            if (!submissions_.empty()) {
                next = std::move(submissions_.front());
                submissions_.pop_front();
            }
        }
        if (next.before) next.before();
        if (next.drop) return std::nullopt;
        if (next.error) return TestHttpServer::Reply{500, envelope("null", *next.error)};
        return TestHttpServer::Reply{200, envelope(next.result)};
    }

    mutable std::mutex mutex_;
    std::deque<Answer> submissions_;
    std::string proposalAnswer_;
    std::vector<std::chrono::steady_clock::time_point> submissionTimes_;
    TestHttpServer server_;
};

}  // namespace corvanta::testing
