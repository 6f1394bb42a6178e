#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "corvanta/rpc/RPCParam.h"

namespace corvanta {
namespace {

TEST(RPCRequestEncoding, MethodWithoutParametersHasAnEmptyArray) {
    EXPECT_EQ(encodeRPCRequest("getblockcount", {}),
              R"({"id":"corvanta","jsonrpc":"1.0","method":"getblockcount","params":[]})");
}

TEST(RPCRequestEncoding, ObjectKeysAreSortedAtEveryDepth) {
    const RPCParam request = RPCParam::object({
        {"rules", RPCParam::array({RPCParam::string("segwit")})},
        {"longpollid", RPCParam::string("abc123")},
    });
    EXPECT_EQ(encodeRPCRequest("getblocktemplate", {request}),
              R"({"id":"corvanta","jsonrpc":"1.0","method":"getblocktemplate",)"
              R"("params":[{"longpollid":"abc123","rules":["segwit"]}]})");

    const RPCParam proposal = RPCParam::object({
        {"rules", RPCParam::array({RPCParam::string("segwit")})},
        {"mode", RPCParam::string("proposal")},
        {"data", RPCParam::string("00ff")},
    });
    EXPECT_EQ(proposal.toJson().dump(), R"({"data":"00ff","mode":"proposal","rules":["segwit"]})");
}

TEST(RPCRequestEncoding, EveryKindEncodesAsItsBareValue) {
    const std::vector<RPCParam> params = {
        RPCParam::string("start"),
        RPCParam::integer(-42),
        RPCParam::integer(std::numeric_limits<std::int64_t>::max()),
        RPCParam::boolean(true),
        RPCParam::boolean(false),
        RPCParam::null(),
        RPCParam::array({}),
        RPCParam::object({}),
        RPCParam::array({RPCParam::string("addr(bc1q)"), RPCParam::null()}),
    };
    EXPECT_EQ(encodeRPCRequest("m", params),
              R"({"id":"corvanta","jsonrpc":"1.0","method":"m","params":["start",-42,)"
              R"x(9223372036854775807,true,false,null,[],{},["addr(bc1q)",null]]})x");
}

TEST(RPCRequestEncoding, TextIsEscapedAsJson) {
    EXPECT_EQ(RPCParam::string("a\"b\\c\nd").toJson().dump(), R"("a\"b\\c\nd")");
    EXPECT_EQ(RPCParam::string("Loading banlist\u2026").toJson().dump(),
              "\"Loading banlist\u2026\"");
}

TEST(RPCRequestEncoding, TextThatIsNotUtf8IsRefusedRatherThanAltered) {
    EXPECT_THROW(encodeRPCRequest("m", {RPCParam::string("\xff\xfe")}), std::invalid_argument);
}

}  // namespace
}  // namespace corvanta
