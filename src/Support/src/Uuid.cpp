#include "corvanta/support/Uuid.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <system_error>

#include <sys/random.h>

namespace corvanta {
namespace {

// One system call straight from the kernel's generator: identifiers are made on the interface
// thread for every log line, so opening a random device for each was far too slow, and the usage
// identifier must stay as unpredictable as the system can make it.
UuidBytes systemRandomBytes() {
    UuidBytes bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(),
                                    "cannot read system randomness");
        }
        filled += static_cast<std::size_t>(got);
    }
    return bytes;
}

}  // namespace

std::string makeUuid() {
    UuidBytes bytes = systemRandomBytes();
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return uuidText(bytes);
}

std::string uuidText(const UuidBytes& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

std::optional<UuidBytes> uuidBytes(const std::string& text) {
    if (!isUuid(text)) return std::nullopt;
    UuidBytes bytes{};
    std::size_t digit = 0;
    for (const char c : text) {
        if (c == '-') continue;
        const int value = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        bytes[digit / 2] = static_cast<std::uint8_t>(bytes[digit / 2] << 4 | value);
        ++digit;
    }
    return bytes;
}

bool isUuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace corvanta
