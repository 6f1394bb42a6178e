#pragma once

#include <filesystem>

#include "corvanta/support/Uuid.h"

namespace corvanta::testing {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempFolder {
  public:
    TempFolder() : path_(std::filesystem::temp_directory_path() / ("corvanta-test-" + makeUuid())) {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace corvanta::testing
