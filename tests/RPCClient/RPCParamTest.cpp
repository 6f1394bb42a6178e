#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "corvanta/rpc/RPCParam.h"

namespace corvanta {
namespace {

TEST(RPCRequestEncoding, EveryKindAsItsBareValueWithKeysSortedAndTextEscaped) {
    EXPECT_EQ(encodeRPCRequest("getblockcount", {}),
              R"({"id":"corvanta","jsonrpc":"1.0","method":"getblockcount","params":[]})");
    const std::vector<RPCParam> params = {
        RPCParam::string("a\"b\\c\nd\u2026"),
        RPCParam::integer(std::numeric_limits<std::int64_t>::min()),
        RPCParam::boolean(true),
        RPCParam::null(),
        RPCParam::array({}),
        RPCParam::object({
            {"rules", RPCParam::array({RPCParam::string("segwit"), RPCParam::boolean(false)})},
            {"mode", RPCParam::object({{"z", RPCParam::null()}, {"b", RPCParam::integer(1)}})},
            {"data", RPCParam::string("00ff")},
        }),
    };
    EXPECT_EQ(encodeRPCRequest("m", params),
              R"({"id":"corvanta","jsonrpc":"1.0","method":"m","params":["a\"b\\c\nd)"
              "\u2026"
              R"(",-9223372036854775808,true,null,[],)"
              R"({"data":"00ff","mode":{"b":1,"z":null},"rules":["segwit",false]}]})");
    // Text that is not UTF-8 is refused rather than altered.
    EXPECT_THROW(encodeRPCRequest("m", {RPCParam::string("\xff\xfe")}), std::invalid_argument);
}

}  // namespace
}  // namespace corvanta
