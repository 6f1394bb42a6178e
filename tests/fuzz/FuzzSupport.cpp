#include "FuzzSupport.h"

#include <unistd.h>

#include <fstream>
#include <string>

namespace corvanta::fuzz {

ScratchFile::ScratchFile(std::string_view name)
    : path_(std::filesystem::temp_directory_path() /
            ("corvanta-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()))) {}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void ScratchFile::write(std::string_view contents) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    expect(static_cast<bool>(out.flush()), "the scratch file could not be written");
}

}  // namespace corvanta::fuzz
