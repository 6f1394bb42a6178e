#include "corvanta/support/TextLines.h"

namespace corvanta {

TextLines splitLines(std::string_view text) {
    TextLines lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.unfinished = true;
            break;
        }
        lines.complete.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace corvanta
