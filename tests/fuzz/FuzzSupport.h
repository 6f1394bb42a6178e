#pragma once

// What every fuzz target shares: the input as text and checks that fail loudly. A failed check
// aborts, which libFuzzer keeps as a crashing input and the corpus replay reports as a failure.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

}  // namespace corvanta::fuzz
