#pragma once

// Test suites that run once per backend, and once per build of a backend's search (stream counts
// and the like, see searchBuilds). The hardware backends this library knows are always listed, so
// a machine without one shows it as skipped rather than silently leaving it out.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "corvanta/sha256/Backend.h"

namespace corvanta::sha256::testing {

inline std::vector<std::string> hardwareBackendIds() {
    std::vector<std::string> ids = {"avx512", "sha-ni", "avx2", "armv8"};
    for (const Backend& backend : availableBackends()) {
        if (backend.id != "portable" &&
            std::find(ids.begin(), ids.end(), backend.id) == ids.end()) {
            ids.emplace_back(backend.id);
        }
    }
    return ids;
}

// The backend or search build with that id, if this processor runs it.
inline const Backend* findBackendOrBuild(std::string_view id) {
    if (const Backend* backend = findBackend(id)) return backend;
    for (const Backend& build : searchBuilds()) {
        if (build.id == id) return &build;
    }
    return nullptr;
}

// The hardware backends and every search build of theirs.
inline std::vector<std::string> hardwareBackendAndBuildIds() {
    std::vector<std::string> ids = hardwareBackendIds();
    for (const Backend& build : searchBuilds()) ids.emplace_back(build.id);
    return ids;
}

inline std::vector<std::string> allBackendAndBuildIds() {
    std::vector<std::string> ids = hardwareBackendAndBuildIds();
    ids.emplace_back("portable");
    return ids;
}

inline std::string backendTestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

class BackendTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        backend_ = findBackendOrBuild(GetParam());
        if (backend_ == nullptr)
            GTEST_SKIP() << GetParam() << " is not available on this processor";
    }

    const Backend& backend() const { return *backend_; }

  private:
    const Backend* backend_ = nullptr;
};

}  // namespace corvanta::sha256::testing
