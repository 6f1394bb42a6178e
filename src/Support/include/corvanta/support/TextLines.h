#pragma once

// The lines of a journal: one record a line, each ended by a line break. What follows the last
// line break is a line whose writing never finished, never a record.

#include <string>
#include <string_view>
#include <vector>

namespace corvanta {

struct TextLines {
    std::vector<std::string> complete;  // oldest first, without their line break
    bool unfinished = false;            // bytes after the last line break
};

TextLines splitLines(std::string_view text);

}  // namespace corvanta
