#include "corvanta/host/QuitSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

namespace corvanta::host {

namespace {

sigset_t quitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

}  // namespace

void blockQuitSignals() {
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = quitSignals();
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info{};
        while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            emit received(static_cast<int>(info.ssi_signo));
        }
    });
}

QuitSignals::~QuitSignals() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace corvanta::host
