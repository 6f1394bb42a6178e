#include "corvanta/assembly/BlockAssemblyError.h"

namespace corvanta {

namespace {

struct Describe {
    std::string operator()(const BlockAssemblyError::MalformedTemplateField& e) const {
        return "malformedTemplateField(\"" + e.field + "\")";
    }
    std::string operator()(const BlockAssemblyError::ScriptSigTooLong& e) const {
        return "scriptSigTooLong(" + std::to_string(e.length) + ")";
    }
    std::string operator()(const BlockAssemblyError::EmptyMerkleTree&) const {
        return "emptyMerkleTree";
    }
    std::string operator()(const BlockAssemblyError::EmptyPayoutScript&) const {
        return "emptyPayoutScript";
    }
};

}  // namespace

BlockAssemblyError::BlockAssemblyError(Kind kind)
    : std::runtime_error("BlockAssemblyError." + std::visit(Describe{}, kind)),
      kind_(std::move(kind)) {}

}  // namespace corvanta
