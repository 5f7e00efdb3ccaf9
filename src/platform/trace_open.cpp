// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/trace_open.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace selvar::platform {

std::FILE* createTraceFile(const std::string& path, std::string& error) {
    // Opening a FIFO for writing waits for a reader; non-blocking, it fails with ENXIO instead.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        error = "cannot create trace file " + path + ": " +
                (err == ENXIO ? std::string("it is a FIFO that no program is reading")
                              : std::string(std::strerror(err)));
        return nullptr;
    }
    // Once open, writes may wait for a slow reader as any file's do.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* out = ::fdopen(fd, "w");
    if (!out) {
        error = "cannot create trace file " + path + ": " + std::strerror(errno);
        ::close(fd);
    }
    return out;
}

}  // namespace selvar::platform
