// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace selvar::platform {

// The system calls the hardware backends make, behind one seam so that every failure path
// can be exercised without a parallel port. Calls that fail return -1 and set errno, as the
// system's own do.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;

    virtual int open(const char* path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;

    // Whether this machine has port I/O instructions at all (inb/outb/ioperm).
    virtual bool hasPortIo() const = 0;
    virtual int ioperm(unsigned long from, unsigned long count, int turnOn) = 0;
    virtual std::uint8_t inb(std::uint16_t port) = 0;
    virtual void outb(std::uint8_t value, std::uint16_t port) = 0;
};

// The real calls (stateless, shared).
SystemCalls& realSystemCalls();

// "LPTn: <what>: <strerror(err)>. <fix>" - one message that says where, why and what to do.
std::string openFailure(int lpt, const std::string& what, int err, const std::string& fix);

}  // namespace selvar::platform
