#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvanta {

// Turns bytes that should be UTF-8 into valid UTF-8, replacing each maximal invalid subpart with
// U+FFFD. A sequence cut at the end of one chunk is kept and completed by the next, so a
// character split across two reads of a pipe survives whole.
class Utf8Decoder {
  public:
    // Appends the decoded text of `bytes` to `out`. With `final`, a kept incomplete sequence is
    // replaced instead of waiting for more.
    void decode(std::string_view bytes, std::string& out, bool final = false);

  private:
    std::string pending_;
};

std::string decodeUtf8Lossy(std::string_view bytes);

// Code points in valid UTF-8.
std::size_t countCodePoints(std::string_view text);

// The last `limit` characters (code points) of everything appended.
class OutputTail {
  public:
    explicit OutputTail(std::size_t limit) : limit_(limit) {}

    void append(std::string_view bytes);
    // Flushes an incomplete trailing sequence (as U+FFFD).
    void finish();
    void clear();
    const std::string& text() const { return text_; }

  private:
    void trim();

    std::size_t limit_;
    Utf8Decoder decoder_;
    std::string text_;
    std::size_t codePoints_ = 0;
};

}  // namespace corvanta
