#include <cstdint>
#include <optional>

#include "corvanta/rpc/RPCClient.h"
#include "corvanta/support/AtomicFile.h"

namespace corvanta {
namespace {

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16 |
                                    static_cast<std::uint8_t>(bytes[i + 1]) << 8 |
                                    static_cast<std::uint8_t>(bytes[i + 2]);
        out += kDigits[group >> 18 & 63];
        out += kDigits[group >> 12 & 63];
        out += kDigits[group >> 6 & 63];
        out += kDigits[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (rest == 2) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        out += kDigits[group >> 18 & 63];
        out += kDigits[group >> 12 & 63];
        out += rest == 2 ? kDigits[group >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

// The whole file, or nullopt when it cannot be opened or read. The node writes a plain file of
// some 75 bytes: anything else in its place (a link, a FIFO that would hold the open for ever, a
// folder, a huge file) is no cookie of its, and is never read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    constexpr std::size_t kLargestCookie = 4096;
    try {
        return readFile(path, Links::refuse, kLargestCookie);
    } catch (const FileReadError&) {
        return std::nullopt;
    }
}

constexpr char32_t kReplacement = 0xFFFD;

// UTF-8 to code points; each maximal ill-formed subpart becomes one U+FFFD, as Unicode
// recommends.
std::u32string decodeUTF8Replacing(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char32_t>(lead);
            ++i;
            continue;
        }
        int length = 0;
        char32_t point = 0;
        std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++next) {
            const std::uint8_t lo = k == 1 ? low : 0x80;
            const std::uint8_t hi = k == 1 ? high : 0xBF;
            if (next >= text.size()) {
                complete = false;
                break;
            }
            const auto byte = static_cast<std::uint8_t>(text[next]);
            if (byte < lo || byte > hi) {
                complete = false;
                break;
            }
            point = point << 6 | (byte & 0x3F);
        }
        out += complete ? point : kReplacement;
        i = next;
    }
    return out;
}

void appendUTF8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// Unicode White_Space: blanks and line breaks, the non-ASCII ones included.
bool isWhitespaceOrNewline(char32_t point) {
    return (point >= 0x09 && point <= 0x0D) || point == 0x20 || point == 0x85 || point == 0xA0 ||
           point == 0x1680 || (point >= 0x2000 && point <= 0x200A) || point == 0x2028 ||
           point == 0x2029 || point == 0x202F || point == 0x205F || point == 0x3000;
}

std::string trimmedText(std::string_view bytes) {
    const std::u32string points = decodeUTF8Replacing(bytes);
    std::size_t begin = 0;
    std::size_t end = points.size();
    while (begin < end && isWhitespaceOrNewline(points[begin])) ++begin;
    while (end > begin && isWhitespaceOrNewline(points[end - 1])) --end;
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) appendUTF8(out, points[i]);
    return out;
}

}  // namespace

std::string RPCCredentials::authorizationHeader() const {
    return "Basic " + base64(user + ":" + password);
}

RPCCredentials RPCCredentials::readingCookie(const std::filesystem::path& path) {
    const std::optional<std::string> contents = readWholeFile(path);
    if (!contents) throw RPCTransportError(RPCTransportError::CookieUnreadable{path.string()});
    const std::string text = trimmedText(*contents);
    // Only the first colon splits: the password may hold colons of its own, or be empty.
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        throw RPCTransportError(RPCTransportError::MalformedCookie{path.string()});
    }
    return RPCCredentials{text.substr(0, colon), text.substr(colon + 1)};
}

}  // namespace corvanta
