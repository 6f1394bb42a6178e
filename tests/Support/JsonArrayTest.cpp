// Reading JSON as every store and the node's answers are read: one pass, one element of a long
// array at a time, a key given twice refused, and a journal's lines split one way for all.
#include <gtest/gtest.h>

#include <stop_token>
#include <string>
#include <vector>

#include "corvanta/support/Cancelled.h"
#include "corvanta/support/StrictJson.h"
#include "corvanta/support/TextLines.h"

namespace corvanta {
namespace {

TEST(StrictJson, AKeyGivenTwiceInOneObjectIsRefusedWhereverItIs) {
    for (const std::string text :
         {R"({"index": 1, "index": 2})", R"([{"a": 1}, {"b": {"c": 1, "c": 1}}])",
          R"({"a": {}, "a": {}})"}) {
        try {
            json::parse(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const json::DecodeError& error) {
            EXPECT_NE(std::string(error.what()).find("twice"), std::string::npos) << error.what();
        }
    }
    // The same key in two objects, or in an object and one inside it, is no repetition.
    EXPECT_EQ(json::parse(R"([{"a": 1}, {"a": {"a": 2}}])")[1]["a"]["a"], 2);
    // A filter keeping the key sees the second one; a member left out is never looked at.
    const auto keepAll = [](json::KeyPath) { return true; };
    EXPECT_THROW(json::parse(R"({"r": {"k": 1, "k": 2}})", keepAll), json::DecodeError);
    const auto keepR = [](json::KeyPath path) { return path.front() == "r"; };
    EXPECT_EQ(json::parse(R"({"x": 1, "x": 2, "r": 3})", keepR), json::parse(R"({"r": 3})"));
    std::size_t seen = 0;
    EXPECT_THROW(json::forEachElement(R"([{"i": 0}, {"i": 1, "i": 1}])", "ledger",
                                      [&](json::Value&&) { ++seen; }),
                 json::DecodeError);
    EXPECT_EQ(seen, 1u);
}

TEST(StrictJson, AnArrayIsHandedOverOneElementAtATime) {
    std::vector<json::Value> elements;
    json::forEachElement(R"([1, "two", {"three": [3, {"x": null}]}, [], null, {}])", "list",
                         [&](json::Value&& element) { elements.push_back(std::move(element)); });
    ASSERT_EQ(elements.size(), 6u);
    EXPECT_EQ(elements[0], 1);
    EXPECT_EQ(elements[1], "two");
    EXPECT_EQ(elements[2], json::parse(R"({"three": [3, {"x": null}]})"));
    EXPECT_EQ(elements[3], json::Value::array());
    EXPECT_TRUE(elements[4].is_null());
    EXPECT_EQ(elements[5], json::Value::object());
    std::size_t empty = 0;
    json::forEachElement(" [ ] ", "list", [&](json::Value&&) { ++empty; });
    EXPECT_EQ(empty, 0u);

    // Anything but an array names the caller's own word; malformed or too deep text is refused
    // as parse() refuses it, after the elements before the fault.
    for (const std::string text : {"{}", "1", "\"[]\"", "null"}) {
        try {
            json::forEachElement(text, "ledger", [](json::Value&&) {});
            ADD_FAILURE() << "accepted " << text;
        } catch (const json::DecodeError& error) {
            EXPECT_EQ(error.path(), "ledger") << text;
        }
    }
    std::size_t before = 0;
    const std::string deep =
        "[1, " + std::string(json::maxDepth, '[') + std::string(json::maxDepth, ']') + "]";
    EXPECT_THROW(json::forEachElement(deep, "list", [&](json::Value&&) { ++before; }),
                 json::DecodeError);
    EXPECT_EQ(before, 1u);
    EXPECT_THROW(json::forEachElement("[1, 2,", "list", [](json::Value&&) {}), json::DecodeError);
    EXPECT_THROW(json::forEachElement("[1] 2", "list", [](json::Value&&) {}), json::DecodeError);
    EXPECT_THROW(json::forEachElement("[1e400]", "list", [](json::Value&&) {}), json::DecodeError);
    // What the caller throws leaves as it is.
    EXPECT_THROW(
        json::forEachElement("[1]", "list", [](json::Value&&) { throw std::logic_error("mine"); }),
        std::logic_error);
}

TEST(StrictJson, AStopEndsAReadBetweenTwoElements) {
    std::stop_source stop;
    std::size_t taken = 0;
    EXPECT_THROW(json::forEachElement(
                     "[1, 2, 3, 4]", "list",
                     [&](json::Value&&) {
                         if (++taken == 2) stop.request_stop();
                     },
                     stop.get_token()),
                 Cancelled);
    EXPECT_EQ(taken, 2u);
    std::size_t none = 0;
    EXPECT_THROW(json::forEachElement(
                     "[]", "list", [&](json::Value&&) { ++none; }, stop.get_token()),
                 Cancelled);
    EXPECT_EQ(none, 0u);
}

TEST(TextLines, CompleteLinesAndAnUnfinishedTail) {
    const auto lines = splitLines("a\n\nb c\ntail");
    EXPECT_EQ(lines.complete, (std::vector<std::string>{"a", "", "b c"}));
    EXPECT_TRUE(lines.unfinished);
    const auto whole = splitLines("one\ntwo\n");
    EXPECT_EQ(whole.complete, (std::vector<std::string>{"one", "two"}));
    EXPECT_FALSE(whole.unfinished);
    EXPECT_TRUE(splitLines("").complete.empty());
    EXPECT_FALSE(splitLines("").unfinished);
    EXPECT_EQ(splitLines("\r\n").complete, std::vector<std::string>{"\r"});
}

}  // namespace
}  // namespace corvanta
