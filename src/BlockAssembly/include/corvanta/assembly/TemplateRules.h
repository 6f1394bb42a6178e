#pragma once

#include "corvanta/rpc/RPCParam.h"

namespace corvanta {

// The rules a template request and a proposal name to the node. Every network needs segwit's; a
// signet node refuses every template unless signet's is named as well, and a block of a signet
// must then meet the chain's challenge (the template's "signet_challenge").
enum class TemplateRules { segwit, segwitAndSignet };

// The request's "rules" array: ["segwit"], or ["segwit","signet"].
RPCParam rulesParameter(TemplateRules rules);

}  // namespace corvanta
