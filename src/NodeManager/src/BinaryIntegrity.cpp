#include "corvanta/node/BinaryIntegrity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

#include "corvanta/sha256/Sha256.h"
#include "corvanta/support/UniqueFd.h"

namespace corvanta {
namespace {

constexpr std::size_t kReadBlock = 1 << 20;

std::string describe(const BinaryIntegrityError::Kind& kind) {
    if (const auto* unreadable = std::get_if<BinaryIntegrityError::FileUnreadable>(&kind)) {
        return "node program unreadable: " + unreadable->path;
    }
    const auto& mismatch = std::get<BinaryIntegrityError::DigestMismatch>(kind);
    return "node program digest mismatch: expected " + mismatch.expected + ", found " +
           mismatch.actual;
}

std::string hex(const sha256::Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const auto byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

}  // namespace

BinaryIntegrityError::BinaryIntegrityError(Kind kind)
    : std::runtime_error(describe(kind)), kind_(std::move(kind)) {}

std::string lowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

namespace BinaryIntegrity {

std::string sha256Hex(const std::filesystem::path& fileAt) {
    // Never held up by a FIFO in the program's place; only a regular file is a program to run.
    const UniqueFd file(::open(fileAt.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        throw BinaryIntegrityError(BinaryIntegrityError::FileUnreadable{fileAt.string()});
    }
    sha256::Sha256 hasher;
    std::vector<std::uint8_t> block(kReadBlock);
    for (;;) {
        const ssize_t got = ::read(file.get(), block.data(), block.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "read " + fileAt.string());
        }
        if (got == 0) break;
        hasher.update(std::span(block.data(), static_cast<std::size_t>(got)));
    }
    return hex(hasher.finish());
}

void verify(const std::filesystem::path& fileAt, std::string_view matches) {
    const std::string actual = sha256Hex(fileAt);
    std::string expected = lowercased(matches);
    if (actual != expected) {
        throw BinaryIntegrityError(
            BinaryIntegrityError::DigestMismatch{std::move(expected), actual});
    }
}

}  // namespace BinaryIntegrity
}  // namespace corvanta
