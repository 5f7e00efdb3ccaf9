// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace selvar::entry {

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// The write end must be reachable from the signal handler, which takes no context: this is
// the one piece of process-wide state, set and cleared by the single TerminationSignals.
int wakeFd = -1;
int readFd = -1;
struct sigaction previous[kSignals.size()];
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// Only the event loop drains the pipe, and it may be busy (a ramp) while a held Ctrl+C repeats:
// the write end is non-blocking, so a full pipe drops the byte (a wake-up is already pending)
// instead of hanging the handler.
extern "C" void onSignal(int signal) {
    const int savedErrno = errno;
    requested.store(true, std::memory_order_relaxed);
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onTermination, QObject* parent)
    : QObject(parent), onTermination_(std::move(onTermination)) {
    if (wakeFd != -1) {
        throw std::logic_error("termination signals are already handled");
    }
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        std::perror("selvar: cannot watch for termination signals");
        return;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    wakeFd = fds[0];
    readFd = fds[1];
    requested.store(false);
    notifier_ = new QSocketNotifier(readFd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        // One close answers however many signals arrived meanwhile.
        char bytes[256];
        while (::read(readFd, bytes, sizeof bytes) > 0) {
        }
        if (onTermination_) {
            onTermination_();
        }
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &action, &previous[i]);
    }
}

const std::atomic<bool>& TerminationSignals::request() const {
    return requested;
}

TerminationSignals::~TerminationSignals() {
    if (wakeFd == -1) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &previous[i], nullptr);
    }
    delete notifier_;
    ::close(wakeFd);
    ::close(readFd);
    wakeFd = readFd = -1;
    requested.store(false);
}

}  // namespace selvar::entry
