#include "corvanta/support/StrictJson.h"

#include <string>
#include <vector>

namespace corvanta::json {
namespace {

bool opens(Value::parse_event_t event) {
    return event == Value::parse_event_t::object_start ||
           event == Value::parse_event_t::array_start;
}

// The depth is checked as each container opens, so a hostile text is refused before any value
// deeper than the limit exists.
void limitDepth(int depth, Value::parse_event_t event) {
    if (opens(event) && depth >= maxDepth) {
        throw DecodeError("json", "nested deeper than " + std::to_string(maxDepth) + " levels");
    }
}

template <typename Callback>
Value parseWith(std::string_view text, Callback callback) {
    try {
        return Value::parse(text, callback);
    } catch (const nlohmann::json::exception& error) {
        // parse_error, and out_of_range for a number too large for a double.
        throw DecodeError("json", error.what());
    }
}

// The open containers, outermost first, each with the key of its member being read. The parser
// reports every container's start with its depth, but the end only of those it keeps, so the
// levels are set again from the depth at each start and each key.
class MemberPath {
  public:
    void opened(int depth, bool isArray) {
        levels_.resize(std::size_t(depth));
        levels_.push_back({isArray, {}});
    }
    KeyPath keyed(int depth, std::string key) {
        levels_.resize(std::size_t(depth));
        levels_.back().key = std::move(key);
        keys_.clear();
        for (const auto& level : levels_) {
            if (!level.isArray) keys_.push_back(level.key);
        }
        return keys_;
    }

  private:
    struct Level {
        bool isArray = false;
        std::string key;
    };
    std::vector<Level> levels_;
    std::vector<std::string_view> keys_;
};

}  // namespace

Value parse(std::string_view text) {
    return parseWith(text, [](int depth, Value::parse_event_t event, Value&) {
        limitDepth(depth, event);
        return true;
    });
}

Value parse(std::string_view text, const KeepMember& keep) {
    MemberPath path;
    return parseWith(text, [&](int depth, Value::parse_event_t event, Value& parsed) {
        limitDepth(depth, event);
        if (opens(event)) path.opened(depth, event == Value::parse_event_t::array_start);
        // A key no kept member reaches is dropped with its whole value.
        if (event == Value::parse_event_t::key && depth > 0) {
            return keep(path.keyed(depth, parsed.get<std::string>()));
        }
        return true;
    });
}

std::optional<Value> take(Value& object, std::string_view key, std::string_view path) {
    if (!object.is_object()) throw DecodeError(std::string(path), "expected an object");
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    return std::move(*found);
}

const Value& field(const Value& object, std::string_view key, std::string_view path) {
    const Value* found = detail::member(object, key, path);
    if (found == nullptr) throw DecodeError(detail::join(path, key), "missing");
    return *found;
}

std::string dump(const Value& value, int indent) {
    // Replace invalid UTF-8 instead of throwing: a stored file must never fail to write over it.
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace corvanta::json
