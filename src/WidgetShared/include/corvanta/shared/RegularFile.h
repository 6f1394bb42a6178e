#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace corvanta {

struct RegularFileText {
    enum class Outcome {
        read,
        absent,
        // A FIFO, socket, device or folder: never opened for reading, never waited on.
        notRegular,
        // Unreadable, or larger than asked for; `error` holds the errno.
        failed,
    };
    Outcome outcome = Outcome::absent;
    std::string text;
    int error = 0;
};

// The whole text of `path` when it is a regular file of at most `maxBytes`. The open never
// blocks (a FIFO without a writer would hold a plain open for ever) and the kind is checked on
// the descriptor itself, so a file swapped for something else in between is not read either.
// Support's readFile, told as an outcome rather than thrown: the widgets' callers branch on it.
RegularFileText readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace corvanta
