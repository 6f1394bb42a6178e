#include "ExecutableFile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace corvanta {

bool isExecutableFile(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return ::access(path.c_str(), X_OK) == 0;
}

}  // namespace corvanta
