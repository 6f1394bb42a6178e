#include "Shell/TerminationSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace corvanta {
namespace {

// The write end the handler reaches; -1 while no TerminationSignals lives.
volatile sig_atomic_t writeEnd = -1;

void handler(int signalNumber) {
    const int fd = writeEnd;
    if (fd < 0) return;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(fd, &number, 1);
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(fds_[1], &number, 1) == 1) emit received(number);
    });
    writeEnd = fds_[0];
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (const int number : kSignals) sigaction(number, &action, nullptr);
    writeEnd = -1;
    notifier_.reset();
    for (const int fd : fds_) {
        if (fd >= 0) ::close(fd);
    }
}

}  // namespace corvanta
