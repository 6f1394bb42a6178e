#include "corvanta/assembly/TemplateRules.h"

namespace corvanta {

RPCParam rulesParameter(TemplateRules rules) {
    RPCParam::Array names{RPCParam::string("segwit")};
    if (rules == TemplateRules::segwitAndSignet) names.push_back(RPCParam::string("signet"));
    return RPCParam::array(std::move(names));
}

}  // namespace corvanta
