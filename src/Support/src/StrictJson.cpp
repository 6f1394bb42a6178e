#include "corvanta/support/StrictJson.h"

namespace corvanta::json {

Value parse(std::string_view text) {
    // The depth is checked as each container opens, so a hostile text is refused before any
    // value deeper than the limit exists.
    const auto limitDepth = [](int depth, Value::parse_event_t event, Value&) {
        if ((event == Value::parse_event_t::object_start ||
             event == Value::parse_event_t::array_start) &&
            depth >= maxDepth) {
            throw DecodeError("json", "nested deeper than " + std::to_string(maxDepth) + " levels");
        }
        return true;
    };
    try {
        return Value::parse(text, limitDepth);
    } catch (const nlohmann::json::exception& error) {
        // parse_error, and out_of_range for a number too large for a double.
        throw DecodeError("json", error.what());
    }
}

std::string dump(const Value& value, int indent) {
    // Replace invalid UTF-8 instead of throwing: a stored file must never fail to write over it.
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace corvanta::json
