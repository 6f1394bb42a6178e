#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <functional>
#include <string>

namespace corvanta::testing {

// Runs `scenario` in a child process without the rights to read what its mode forbids: as
// "nobody" when the tests run as root (to whom a mode of 000 means nothing). The folders it uses
// must be open to that user. Returns what the scenario returns (empty when all held), or why it
// could not run.
inline std::string asUnprivilegedUser(const std::function<std::string()>& scenario) {
    int report[2];
    if (::pipe(report) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        ::close(report[0]);
        std::string outcome;
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
             ::setresuid(kNobody, kNobody, kNobody) != 0)) {
            outcome = "cannot become another user";
        } else {
            try {
                outcome = scenario();
            } catch (const std::exception& error) {
                outcome = std::string("threw: ") + error.what();
            }
        }
        [[maybe_unused]] const auto written = ::write(report[1], outcome.data(), outcome.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string outcome;
    char buffer[512];
    for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) > 0;) {
        outcome.append(buffer, std::size_t(got));
    }
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "the scenario's process ended abnormally";
    return outcome;
}

}  // namespace corvanta::testing
