#include "FuzzSupport.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace corvanta::fuzz {
namespace {

std::filesystem::path scratchPath(std::string_view name) {
    return std::filesystem::temp_directory_path() /
           ("corvanta-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
}

}  // namespace

ScratchFile::ScratchFile(std::string_view name) : path_(scratchPath(name)) {}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

void ScratchFile::write(std::string_view contents) const {
    writeFile(path_, contents);
}

void writeFile(const std::filesystem::path& path, std::string_view contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    expect(static_cast<bool>(out.flush()), "a scratch file could not be written");
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ScratchFolder::ScratchFolder(std::string_view name) : path_(scratchPath(name)) {
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::clear() const {
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        std::filesystem::remove_all(entry.path());
    }
}

}  // namespace corvanta::fuzz
