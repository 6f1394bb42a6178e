#include "Utf8.h"

namespace corvanta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts and the allowed range of its second byte
// (which rules out overlongs, surrogates and values above U+10FFFF); 0 for an invalid lead.
struct Lead {
    int length;
    unsigned char low;
    unsigned char high;
};

Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
    if (byte == 0xE0) return {3, 0xA0, 0xBF};
    if ((byte >= 0xE1 && byte <= 0xEC) || byte == 0xEE || byte == 0xEF) return {3, 0x80, 0xBF};
    if (byte == 0xED) return {3, 0x80, 0x9F};
    if (byte == 0xF0) return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
    if (byte == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

}  // namespace

void Utf8Decoder::decode(std::string_view bytes, std::string& out, bool final) {
    std::string buffer = std::move(pending_);
    pending_.clear();
    buffer.append(bytes);
    const std::size_t size = buffer.size();
    std::size_t i = 0;
    while (i < size) {
        const auto byte = static_cast<unsigned char>(buffer[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        const Lead lead = leadOf(byte);
        if (lead.length == 0) {
            out.append(kReplacement);
            ++i;
            continue;
        }
        // Count how many bytes after the lead are valid for this sequence.
        std::size_t valid = 1;
        bool broken = false;
        while (valid < static_cast<std::size_t>(lead.length)) {
            if (i + valid >= size) break;
            const auto next = static_cast<unsigned char>(buffer[i + valid]);
            const bool ok =
                valid == 1 ? (next >= lead.low && next <= lead.high) : isContinuation(next);
            if (!ok) {
                broken = true;
                break;
            }
            ++valid;
        }
        if (valid == static_cast<std::size_t>(lead.length)) {
            out.append(buffer, i, valid);
        } else if (!broken && !final) {
            pending_ = buffer.substr(i);  // cut at the end of this chunk: wait for the rest
            return;
        } else {
            out.append(kReplacement);
        }
        i += valid;
    }
}

std::string decodeUtf8Lossy(std::string_view bytes) {
    Utf8Decoder decoder;
    std::string out;
    decoder.decode(bytes, out, true);
    return out;
}

std::size_t countCodePoints(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if (!isContinuation(static_cast<unsigned char>(c))) ++count;
    }
    return count;
}

void OutputTail::append(std::string_view bytes) {
    const std::size_t before = text_.size();
    decoder_.decode(bytes, text_);
    codePoints_ += countCodePoints(std::string_view(text_).substr(before));
    trim();
}

void OutputTail::finish() {
    const std::size_t before = text_.size();
    decoder_.decode({}, text_, true);
    codePoints_ += countCodePoints(std::string_view(text_).substr(before));
    trim();
}

void OutputTail::clear() {
    decoder_ = Utf8Decoder();
    text_.clear();
    codePoints_ = 0;
}

void OutputTail::trim() {
    if (codePoints_ <= limit_) return;
    std::size_t excess = codePoints_ - limit_;
    std::size_t cut = 0;
    // Skip `excess` whole characters: stop at the lead byte of the first one kept.
    while (cut < text_.size()) {
        if (!isContinuation(static_cast<unsigned char>(text_[cut]))) {
            if (excess == 0) break;
            --excess;
        }
        ++cut;
    }
    text_.erase(0, cut);
    codePoints_ = limit_;
}

}  // namespace corvanta
