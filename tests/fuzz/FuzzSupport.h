#pragma once

// What every fuzz target shares: the input as text and checks that fail loudly. A failed check
// aborts, which libFuzzer keeps as a crashing input and the corpus replay reports as a failure.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "corvanta/support/StrictJson.h"

namespace corvanta::fuzz {

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline void expect(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A value the strict layer accepted survives being written and read back.
inline void expectJsonRoundTrip(const json::Value& value) {
    expect(json::parse(json::dump(value)) == value, "JSON value changed through dump and parse");
}

// A file of this process's own under the temporary folder, for decoders that read a path;
// removed when the process ends. Several fuzzers may run side by side.
class ScratchFile {
  public:
    explicit ScratchFile(std::string_view name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(std::string_view contents) const;

  private:
    std::filesystem::path path_;
};

// Writes `contents` to `path` whole, replacing what was there.
void writeFile(const std::filesystem::path& path, std::string_view contents);
// The whole file; an empty text for a file that cannot be read.
std::string readFile(const std::filesystem::path& path);

// A folder of this process's own under the temporary folder, emptied by clear() and removed with
// what it holds when the process ends.
class ScratchFolder {
  public:
    explicit ScratchFolder(std::string_view name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void clear() const;

  private:
    std::filesystem::path path_;
};

// Numbers taken one after another from the front of the input, for targets whose inputs are
// figures rather than text; once the input runs out every number reads as zero.
class Figures {
  public:
    explicit Figures(std::string_view bytes) : bytes_(bytes) {}

    template <typename Number>
    Number next() {
        Number value{};
        const std::size_t size = std::min(sizeof value, bytes_.size());
        std::memcpy(&value, bytes_.data(), size);
        bytes_.remove_prefix(size);
        return value;
    }
    bool flag() { return (next<std::uint8_t>() & 1) != 0; }
    // Absent on an odd byte, else the next number.
    template <typename Number>
    std::optional<Number> maybe() {
        if (flag()) return std::nullopt;
        return next<Number>();
    }
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

}  // namespace corvanta::fuzz
