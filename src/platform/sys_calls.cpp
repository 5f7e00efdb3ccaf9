// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sys_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define SELVAR_HAS_PORT_IO 1
#else
#define SELVAR_HAS_PORT_IO 0
#endif

namespace selvar::platform {

namespace {

class RealSystemCalls final : public SystemCalls {
  public:
    int open(const char* path, int flags) override { return ::open(path, flags | O_CLOEXEC); }
    int close(int fd) override { return ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        return ::ioctl(fd, request, arg);
    }

    bool hasPortIo() const override { return SELVAR_HAS_PORT_IO != 0; }

#if SELVAR_HAS_PORT_IO
    int ioperm(unsigned long from, unsigned long count, int turnOn) override {
        return ::ioperm(from, count, turnOn);
    }
    std::uint8_t inb(std::uint16_t port) override {
        return ::inb(port);
    }
    void outb(std::uint8_t value, std::uint16_t port) override {
        ::outb(value, port);
    }
#else
    // No port I/O instructions on this architecture; the direct backend checks hasPortIo()
    // before it gets here.
    int ioperm(unsigned long, unsigned long, int) override {
        errno = ENOSYS;
        return -1;
    }
    std::uint8_t inb(std::uint16_t) override {
        return 0xFF;
    }
    void outb(std::uint8_t, std::uint16_t) override {}
#endif
};

}  // namespace

SystemCalls& realSystemCalls() {
    static RealSystemCalls calls;
    return calls;
}

std::string openFailure(int lpt, const std::string& what, int err, const std::string& fix) {
    std::string text = "LPT" + std::to_string(lpt) + ": " + what + ": " + std::strerror(err) + ".";
    if (!fix.empty()) {
        text += " " + fix;
    }
    return text;
}

}  // namespace selvar::platform
