// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hardware_ports.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/port_register.h"

namespace selvar::platform {

namespace {

constexpr unsigned long kRegisters = 3;

// Holds the I/O permission for exactly the port's three registers and gives it back when the
// operator moves on. (The permission belongs to the thread that asked: the one UI thread.)
class DirectPort final : public PortIo {
  public:
    DirectPort(SystemCalls& sys, std::uint16_t base, std::uint16_t realBase)
        : sys_(sys), base_(base), realBase_(realBase) {}
    ~DirectPort() override { sys_.ioperm(realBase_, kRegisters, 0); }
    DirectPort(const DirectPort&) = delete;
    DirectPort& operator=(const DirectPort&) = delete;

    std::uint8_t read(std::uint16_t address) override { return sys_.inb(realAddress(address)); }
    void write(std::uint16_t address, std::uint8_t value) override {
        sys_.outb(value, realAddress(address));
    }

  private:
    std::uint16_t realAddress(std::uint16_t address) const {
        return static_cast<std::uint16_t>(realBase_ + registerOffset(base_, address));
    }

    SystemCalls& sys_;
    std::uint16_t base_;
    std::uint16_t realBase_;
};

std::string range(std::uint16_t realBase) {
    char text[48];
    std::snprintf(text, sizeof text, "I/O ports 0x%x-0x%x", static_cast<unsigned>(realBase),
                  static_cast<unsigned>(realBase) + 2);
    return text;
}

}  // namespace

DirectPortProvider::DirectPortProvider(std::array<std::uint16_t, 3> realBases, SystemCalls& sys)
    : realBases_(realBases), sys_(sys) {}

PortProvider::Opened DirectPortProvider::open(int lpt, std::uint16_t base) {
    const std::string lptName = "LPT" + std::to_string(lpt);
    if (lpt < 1 || lpt > static_cast<int>(realBases_.size())) {
        return {nullptr, lptName + ": no such port."};
    }
    if (!sys_.hasPortIo()) {
        return {nullptr, lptName +
                             ": direct I/O is not available on this architecture; use "
                             "--port-io ppdev."};
    }
    const std::uint16_t realBase = realBases_[static_cast<std::size_t>(lpt - 1)];
    if (realBase > 0xFFFF - (kRegisters - 1)) {
        return {nullptr, lptName + ": " + range(realBase) + " lie beyond the I/O space."};
    }
    if (sys_.ioperm(realBase, kRegisters, 1) != 0) {
        const int err = errno;
        std::string fix;
        if (err == EPERM || err == EACCES) {
            // Never file capabilities on the program: they would extend to whatever code a
            // user's environment makes the toolkit load.
            fix =
                "Direct I/O needs root: run the program as root for the session (sudo), or "
                "rather use --port-io ppdev as a member of group lp.";
        } else if (err == ENOSYS) {
            // Containers and some virtual machines give no I/O-port access at all.
            fix =
                "This system gives no direct port access (a container or virtual machine?); "
                "use --port-io ppdev on the machine the port is in.";
        }
        return {nullptr, openFailure(lpt, "access to " + range(realBase) + " refused", err, fix)};
    }
    return {std::make_unique<DirectPort>(sys_, base, realBase),
            {},
            lptName + " = " + range(realBase) + " (direct I/O)"};
}

}  // namespace selvar::platform
