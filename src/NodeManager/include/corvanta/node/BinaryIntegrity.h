#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace corvanta {

class BinaryIntegrityError : public std::runtime_error {
  public:
    struct FileUnreadable {
        std::string path;
        bool operator==(const FileUnreadable&) const = default;
    };
    // `expected` lower-cased, `actual` as computed.
    struct DigestMismatch {
        std::string expected;
        std::string actual;
        bool operator==(const DigestMismatch&) const = default;
    };
    using Kind = std::variant<FileUnreadable, DigestMismatch>;

    explicit BinaryIntegrityError(Kind kind);
    const Kind& kind() const { return kind_; }
    bool operator==(const BinaryIntegrityError& other) const { return kind_ == other.kind_; }

  private:
    Kind kind_;
};

// Checks that a program on disk is exactly the expected one.
namespace BinaryIntegrity {

// The file's SHA-256 as 64 lower-case hex digits, read in 1 MiB blocks so a large program is
// never held whole. Throws BinaryIntegrityError FileUnreadable when it cannot be opened, and
// std::system_error for a read error.
std::string sha256Hex(const std::filesystem::path& fileAt);

// Succeeds when the file's digest equals `matches` (compared lower-cased); otherwise throws
// BinaryIntegrityError DigestMismatch. Errors of sha256Hex pass through.
void verify(const std::filesystem::path& fileAt, std::string_view matches);

}  // namespace BinaryIntegrity

// Lower-cases ASCII letters.
std::string lowercased(std::string_view text);

}  // namespace corvanta
