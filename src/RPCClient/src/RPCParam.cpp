#include "corvanta/rpc/RPCParam.h"

#include <stdexcept>
#include <utility>

namespace corvanta {

RPCParam RPCParam::string(std::string value) {
    return RPCParam(std::in_place_type<std::string>, std::move(value));
}
RPCParam RPCParam::integer(std::int64_t value) {
    return RPCParam(std::in_place_type<std::int64_t>, value);
}
RPCParam RPCParam::boolean(bool value) {
    return RPCParam(std::in_place_type<bool>, value);
}
RPCParam RPCParam::array(Array values) {
    return RPCParam(std::in_place_type<Array>, std::move(values));
}
RPCParam RPCParam::object(Object members) {
    return RPCParam(std::in_place_type<Object>, std::move(members));
}
RPCParam RPCParam::null() {
    return RPCParam(std::in_place_type<std::monostate>, {});
}

json::Value RPCParam::toJson() const {
    struct Encode {
        json::Value operator()(const std::string& value) const { return value; }
        json::Value operator()(std::int64_t value) const { return value; }
        json::Value operator()(bool value) const { return value; }
        json::Value operator()(const Array& values) const {
            json::Value out = json::Value::array();
            for (const auto& value : values) out.push_back(value.toJson());
            return out;
        }
        json::Value operator()(const Object& members) const {
            json::Value out = json::Value::object();
            for (const auto& [key, value] : members) out[key] = value.toJson();
            return out;
        }
        json::Value operator()(std::monostate) const { return nullptr; }
    };
    return std::visit(Encode{}, storage_);
}

std::string encodeRPCRequest(std::string_view method, const std::vector<RPCParam>& params) {
    json::Value encodedParams = json::Value::array();
    for (const auto& param : params) encodedParams.push_back(param.toJson());
    // nlohmann's object keeps its keys sorted, which gives the node's canonical key order.
    const json::Value request = {{"jsonrpc", "1.0"},
                                 {"id", "corvanta"},
                                 {"method", std::string(method)},
                                 {"params", std::move(encodedParams)}};
    try {
        // Strict on purpose: a text that is not UTF-8 is refused rather than sent altered.
        return request.dump();
    } catch (const json::Value::type_error& error) {
        throw std::invalid_argument(std::string("RPC request is not valid UTF-8: ") + error.what());
    }
}

}  // namespace corvanta
