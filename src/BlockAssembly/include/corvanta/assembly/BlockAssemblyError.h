#pragma once

#include <cstddef>
#include <exception>
#include <stdexcept>
#include <string>
#include <variant>

namespace corvanta {

// Why a template could not be turned into work.
class BlockAssemblyError : public std::runtime_error {
  public:
    // `field` is the template's JSON key or key path, e.g. "bits" or "transactions[].txid".
    struct MalformedTemplateField {
        std::string field;
        bool operator==(const MalformedTemplateField&) const = default;
    };
    struct ScriptSigTooLong {
        std::size_t length;
        bool operator==(const ScriptSigTooLong&) const = default;
    };
    struct EmptyMerkleTree {
        bool operator==(const EmptyMerkleTree&) const = default;
    };
    struct EmptyPayoutScript {
        bool operator==(const EmptyPayoutScript&) const = default;
    };
    // A signet whose blocks need a signature this system cannot make: no template of that chain
    // can become work, now or later.
    struct SignetNeedsSignature {
        std::string challenge;  // hex, as the template gave it
        bool operator==(const SignetNeedsSignature&) const = default;
    };
    using Kind = std::variant<MalformedTemplateField, ScriptSigTooLong, EmptyMerkleTree,
                              EmptyPayoutScript, SignetNeedsSignature>;

    explicit BlockAssemblyError(Kind kind);
    const Kind& kind() const { return kind_; }
    bool operator==(const BlockAssemblyError& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

// Whether `error` is a BlockAssemblyError saying that a signet's blocks need a signature.
bool needsSignetSignature(const std::exception& error);
bool needsSignetSignature(const std::exception_ptr& error);

}  // namespace corvanta
