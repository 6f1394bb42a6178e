#include "corvanta/shared/ReferenceDate.h"

namespace corvanta {

ReferenceDate ReferenceDate::from(std::chrono::system_clock::time_point instant) {
    const double unixSeconds = std::chrono::duration<double>(instant.time_since_epoch()).count();
    return {unixSeconds - secondsFromUnixEpoch};
}

ReferenceDate ReferenceDate::now() {
    return from(std::chrono::system_clock::now());
}

std::chrono::system_clock::time_point ReferenceDate::timePoint() const {
    const std::chrono::duration<double> unixSeconds(secondsSinceReferenceDate +
                                                    secondsFromUnixEpoch);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(unixSeconds));
}

}  // namespace corvanta
