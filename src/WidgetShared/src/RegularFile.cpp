#include "corvanta/shared/RegularFile.h"

#include <cerrno>

#include "corvanta/support/AtomicFile.h"

namespace corvanta {

RegularFileText readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    using Outcome = RegularFileText::Outcome;
    try {
        return {Outcome::read, readFile(path, Links::follow, maxBytes), 0};
    } catch (const FileReadError& error) {
        switch (error.reason()) {
            case FileReadError::Reason::missing:
                return {Outcome::absent, {}, ENOENT};
            case FileReadError::Reason::notRegular:
                return {Outcome::notRegular, {}, error.errorNumber()};
            case FileReadError::Reason::unreadable:
                break;
        }
        return {Outcome::failed, {}, error.errorNumber()};
    }
}

}  // namespace corvanta
