#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "corvanta/support/StrictJson.h"

namespace corvanta {

// A JSON-RPC parameter value. Only ever encoded, as the bare JSON value it holds.
class RPCParam {
  public:
    using Array = std::vector<RPCParam>;
    using Object = std::map<std::string, RPCParam>;  // std::map keeps keys sorted when encoded

    static RPCParam string(std::string value);
    static RPCParam integer(std::int64_t value);
    static RPCParam boolean(bool value);
    static RPCParam array(Array values);
    static RPCParam object(Object members);
    static RPCParam null();

    json::Value toJson() const;
    bool operator==(const RPCParam&) const = default;

  private:
    using Storage = std::variant<std::string, std::int64_t, bool, Array, Object, std::monostate>;
    template <typename Alternative>
    RPCParam(std::in_place_type_t<Alternative> type, Alternative value)
        : storage_(type, std::move(value)) {}
    Storage storage_;
};

// The request body: {"id":"corvanta","jsonrpc":"1.0","method":...,"params":[...]}, keys sorted,
// no whitespace.
std::string encodeRPCRequest(std::string_view method, const std::vector<RPCParam>& params);

}  // namespace corvanta
