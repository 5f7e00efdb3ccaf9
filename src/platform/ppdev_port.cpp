// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hardware_ports.h"

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>

#include <cerrno>

#include "platform/port_register.h"

namespace selvar::platform {

namespace {

// Holds the claimed port; releases and closes it when the operator moves on.
class PpdevPort final : public PortIo {
  public:
    PpdevPort(SystemCalls& sys, int fd, std::uint16_t base) : sys_(sys), fd_(fd), base_(base) {}
    ~PpdevPort() override {
        sys_.ioctl(fd_, PPRELEASE, nullptr);
        sys_.close(fd_);
    }
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    // A read the driver refuses gives what an empty port gives.
    std::uint8_t read(std::uint16_t address) override {
        static constexpr unsigned long kRead[] = {PPRDATA, PPRSTATUS, PPRCONTROL};
        unsigned char value = 0xFF;
        if (sys_.ioctl(fd_, kRead[registerOffset(base_, address)], &value) != 0) {
            return 0xFF;
        }
        return value;
    }

    // A write the driver refuses is lost, as on an empty port.
    void write(std::uint16_t address, std::uint8_t value) override {
        unsigned char byte = value;
        switch (registerOffset(base_, address)) {
            case 0:
                sys_.ioctl(fd_, PPWDATA, &byte);
                break;
            case 1:
                // The status register is the port's input lines: there is nothing to drive and
                // the driver has no call for it. The program's habit of writing 0 there when
                // a port is chosen is harmless on a PC and simply dropped here.
                break;
            default:
                sys_.ioctl(fd_, PPWCONTROL, &byte);
                break;
        }
    }

  private:
    SystemCalls& sys_;
    int fd_;
    std::uint16_t base_;
};

std::string openFix(int lpt, int err) {
    const std::string remap =
        "or name the right device with --parport LPT" + std::to_string(lpt) + "=/dev/parportN";
    switch (err) {
        case ENOENT:
            return "Load the parallel-port driver with `sudo modprobe ppdev`, " + remap + ".";
        case EACCES:
        case EPERM:
            return "Join the group that owns the device with `sudo usermod -aG lp $USER` and "
                   "log in again.";
        case ENXIO:
        case ENODEV:
            return "No parallel port answers behind the device: load the port driver with "
                   "`sudo modprobe parport_pc`, " +
                   remap + ".";
        default:
            return {};
    }
}

std::string claimFix(int err) {
    if (err == EBUSY) {
        return "Another driver or program holds the port (often the printer driver: "
               "`sudo rmmod lp`); free it and select the port again.";
    }
    return {};
}

}  // namespace

PpdevPortProvider::PpdevPortProvider(std::array<std::string, 3> devices, SystemCalls& sys)
    : devices_(std::move(devices)), sys_(sys) {}

PortProvider::Opened PpdevPortProvider::open(int lpt, std::uint16_t base) {
    if (lpt < 1 || lpt > static_cast<int>(devices_.size())) {
        return {nullptr, "LPT" + std::to_string(lpt) + ": no such port."};
    }
    const std::string& device = devices_[static_cast<std::size_t>(lpt - 1)];
    const int fd = sys_.open(device.c_str(), O_RDWR);
    if (fd < 0) {
        const int err = errno;
        return {nullptr, openFailure(lpt, "cannot open " + device, err, openFix(lpt, err))};
    }
    if (sys_.ioctl(fd, PPCLAIM, nullptr) != 0) {
        const int err = errno;
        sys_.close(fd);
        return {nullptr, openFailure(lpt, "cannot claim " + device, err, claimFix(err))};
    }
    return {std::make_unique<PpdevPort>(sys_, fd, base),
            {},
            "LPT" + std::to_string(lpt) + " = " + device + " (ppdev)"};
}

}  // namespace selvar::platform
