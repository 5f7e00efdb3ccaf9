// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace selvar::entry {

namespace {

// The lowest free descriptor is the one an open() gets: taking them in order fills the gap.
bool reopenIfClosed(int fd, int flags) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int opened = ::open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
    }
    return true;
}

}  // namespace

ClosedStandardStreams reopenClosedStandardStreams() {
    ClosedStandardStreams closed;
    closed.input = reopenIfClosed(STDIN_FILENO, O_RDONLY);
    closed.output = reopenIfClosed(STDOUT_FILENO, O_WRONLY);
    closed.error = reopenIfClosed(STDERR_FILENO, O_WRONLY);
    return closed;
}

}  // namespace selvar::entry
