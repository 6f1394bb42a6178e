#include "corvanta/support/StrictJson.h"

namespace corvanta::json {

Value parse(std::string_view text) {
    try {
        return Value::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw DecodeError("json", error.what());
    }
}

std::string dump(const Value& value, int indent) {
    // Replace invalid UTF-8 instead of throwing: a stored file must never fail to write over it.
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace corvanta::json
