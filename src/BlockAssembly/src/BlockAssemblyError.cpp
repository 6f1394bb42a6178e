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
    std::string operator()(const BlockAssemblyError::SignetNeedsSignature& e) const {
        return "signetNeedsSignature(\"" + e.challenge + "\")";
    }
};

}  // namespace

BlockAssemblyError::BlockAssemblyError(Kind kind)
    : std::runtime_error("BlockAssemblyError." + std::visit(Describe{}, kind)),
      kind_(std::move(kind)) {}

bool needsSignetSignature(const std::exception& error) {
    const auto* assembly = dynamic_cast<const BlockAssemblyError*>(&error);
    return assembly != nullptr &&
           std::holds_alternative<BlockAssemblyError::SignetNeedsSignature>(assembly->kind());
}

bool needsSignetSignature(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& other) {
        return needsSignetSignature(other);
    } catch (...) {
        return false;
    }
}

}  // namespace corvanta
