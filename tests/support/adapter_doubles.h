// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Stand-ins for an FTDI chip and a GPIO chip with the simulated boards wired to them. Each
// interprets what the adapter backend sends (MPSSE commands, bit-bang bytes, GPIO line ioctls)
// as the device would, maps the pin levels back onto a data-register value through the
// adapter's wiring and drives the simulated chain with it. They count what crosses the seam
// and refuse anything that would drive a pin outside the wiring.

#include <linux/gpio.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/adapters/adapter_pins.h"
#include "platform/adapters/ftdi_transport.h"
#include "platform/sim_board.h"
#include "platform/sys_calls.h"

namespace selvar::testing {

// What crossed the seam; a transfer that failed is not counted.
struct SeamCount {
    long writes = 0, reads = 0, bytesOut = 0, bytesIn = 0;
    // Set when the backend drove a pin the wiring does not name, or sent what no device takes.
    long faults = 0;
};

class FakeFtdi : public platform::FtdiTransport {
  public:
    struct Setup {
        platform::FtdiFailure openFailure = platform::FtdiFailure::None;
        bool mpsse = true;
        long transfersBeforeUnplug = -1;         // -1: never unplugged
        std::chrono::microseconds roundTrip{0};  // simulated USB latency per transfer
    };
    FakeFtdi(platform::SimBoard& board, const platform::AdapterPins& pins, Setup setup,
             SeamCount& count)
        : board_(board), pins_(pins), setup_(setup), count_(count) {}

    platform::FtdiStatus open(const std::string&) override {
        return {setup_.openFailure,
                setup_.openFailure == platform::FtdiFailure::None ? "" : "refused"};
    }
    bool hasMpsse() const override { return setup_.mpsse; }
    platform::FtdiStatus setMode(Mode mode, std::uint8_t outputs, int) override {
        mode_ = mode;
        if (mode == Mode::SyncBitbang && outputs != pins_.outputMask()) {
            ++count_.faults;
        }
        return {};
    }
    platform::FtdiStatus write(const std::uint8_t* bytes, std::size_t n) override {
        if (!transfer()) {
            return {platform::FtdiFailure::Gone, "LIBUSB_ERROR_NO_DEVICE"};
        }
        ++count_.writes;
        count_.bytesOut += static_cast<long>(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (mode_ == Mode::SyncBitbang) {
                answer_ += static_cast<char>(pinsNow());
                apply(bytes[i]);
            } else {
                i = command(bytes, n, i);
            }
        }
        return {};
    }
    platform::FtdiStatus read(std::uint8_t* bytes, std::size_t n) override {
        if (!transfer()) {
            return {platform::FtdiFailure::Gone, "LIBUSB_ERROR_NO_DEVICE"};
        }
        ++count_.reads;
        count_.bytesIn += static_cast<long>(n);
        if (n > answer_.size()) {
            ++count_.faults;  // a real device would time out
            n = answer_.size();
        }
        std::memcpy(bytes, answer_.data(), n);
        answer_.erase(0, n);
        return {};
    }

  private:
    bool transfer() {
        if (setup_.transfersBeforeUnplug == 0) {
            return false;
        }
        if (setup_.transfersBeforeUnplug > 0) {
            --setup_.transfersBeforeUnplug;
        }
        if (setup_.roundTrip.count() > 0) {
            std::this_thread::sleep_for(setup_.roundTrip);
        }
        return true;
    }
    // One MPSSE command at bytes[i]; returns the index of its last byte.
    std::size_t command(const std::uint8_t* bytes, std::size_t n, std::size_t i) {
        switch (bytes[i]) {
            case 0x80:  // SET_BITS_LOW value direction
                if (i + 2 >= n || bytes[i + 2] != pins_.outputMask()) {
                    ++count_.faults;
                    return n;
                }
                apply(bytes[i + 1]);
                return i + 2;
            case 0x81:  // GET_BITS_LOW
                answer_ += static_cast<char>(pinsNow());
                return i;
            case 0x87:  // SEND_IMMEDIATE
                return i;
            default:
                ++count_.faults;
                return n;
        }
    }
    void apply(std::uint8_t pins) {
        outputs_ = static_cast<std::uint8_t>(pins & pins_.outputMask());
        board_.writeRegister(0, pins_.dataRegister(outputs_));
    }
    std::uint8_t pinsNow() const {
        const auto readBack =
            static_cast<std::uint8_t>(pins_.bit(pins_[platform::Signal::ReadBack]));
        return static_cast<std::uint8_t>(outputs_ | (board_.readBackLine() ? readBack : 0));
    }

    platform::SimBoard& board_;
    platform::AdapterPins pins_;
    Setup setup_;
    SeamCount& count_;
    Mode mode_ = Mode::Mpsse;
    std::uint8_t outputs_ = 0;
    std::string answer_;
};

// A GPIO chip (/dev/gpiochip0, label "pinctrl-test", 28 lines) through the system-call seam.
class FakeGpio : public platform::SystemCalls {
  public:
    static constexpr int kChipFd = 3, kLineFd = 4;

    FakeGpio(platform::SimBoard& board, const platform::AdapterPins& pins, SeamCount& count)
        : board_(board), pins_(pins), count_(count) {}

    int open(const char* path, int) override {
        return openErrno                               ? fail(openErrno)
               : std::string(path) == "/dev/gpiochip0" ? kChipFd
                                                       : fail(ENOENT);
    }
    int close(int) override { return 0; }
    int ioctl(int fd, unsigned long request, void* arg) override {
        if (fd == kChipFd && request == GPIO_GET_CHIPINFO_IOCTL) {
            auto* info = static_cast<gpiochip_info*>(arg);
            std::strcpy(info->name, "gpiochip0");
            std::strcpy(info->label, "pinctrl-test");
            info->lines = 28;
            return 0;
        }
        if (fd == kChipFd && request == GPIO_V2_GET_LINE_IOCTL) {
            return requestLines(*static_cast<gpio_v2_line_request*>(arg));
        }
        if (fd != kLineFd || ioctlsBeforeUnplug == 0) {
            return fail(ENODEV);
        }
        ioctlsBeforeUnplug -= ioctlsBeforeUnplug > 0;
        auto& values = *static_cast<gpio_v2_line_values*>(arg);
        if (request == GPIO_V2_LINE_SET_VALUES_IOCTL) {
            ++count_.writes;
            faultUnless((values.mask & ~outputs_) == 0);
            levels_ = (levels_ & ~values.mask) | (values.bits & values.mask);
            board_.writeRegister(0, dataRegister());
            return 0;
        }
        if (request == GPIO_V2_LINE_GET_VALUES_IOCTL) {
            ++count_.reads;
            const std::uint64_t line = board_.readBackLine() ? inputs_ : 0;
            values.bits = (levels_ | line) & values.mask;
            return 0;
        }
        return fail(EINVAL);
    }
    bool hasPortIo() const override { return false; }
    int ioperm(unsigned long, unsigned long, int) override { return fail(ENOSYS); }
    std::uint8_t inb(std::uint16_t) override { return 0xFF; }
    void outb(std::uint8_t, std::uint16_t) override {}

    int openErrno = 0, requestErrno = 0;
    long ioctlsBeforeUnplug = -1;
    std::uint32_t offsets[GPIO_V2_LINES_MAX]{};  // as requested

  private:
    static int fail(int err) {
        errno = err;
        return -1;
    }
    void faultUnless(bool ok) { count_.faults += !ok; }
    int requestLines(gpio_v2_line_request& r) {
        if (requestErrno) {
            return fail(requestErrno);
        }
        std::memcpy(offsets, r.offsets, sizeof offsets);
        faultUnless(r.num_lines == platform::kSignalCount && r.config.num_attrs == 2 &&
                    r.config.flags == GPIO_V2_LINE_FLAG_INPUT);
        outputs_ = r.config.attrs[0].mask;
        inputs_ = ((std::uint64_t{1} << r.num_lines) - 1) & ~outputs_;
        faultUnless(r.config.attrs[0].attr.flags == GPIO_V2_LINE_FLAG_OUTPUT);
        // Exactly the five outputs drive; the read-back line is the one input.
        faultUnless(inputs_ == bitOf(platform::Signal::ReadBack));
        levels_ = r.config.attrs[1].attr.values & outputs_;
        board_.writeRegister(0, dataRegister());
        r.fd = kLineFd;
        return 0;
    }
    // The bit of the line the wiring puts signal s on, by its place among the requested offsets.
    std::uint64_t bitOf(platform::Signal s) const {
        for (std::size_t i = 0; i < platform::kSignalCount; ++i) {
            if (offsets[i] == static_cast<std::uint32_t>(pins_[s])) {
                return std::uint64_t{1} << i;
            }
        }
        return 0;
    }
    std::uint8_t dataRegister() const {
        std::uint8_t v = 0;
        for (const platform::Signal s : platform::kOutputSignals) {
            if (levels_ & bitOf(s)) {
                v = static_cast<std::uint8_t>(v | platform::kParallelWiring.mask(s));
            }
        }
        return v;
    }

    platform::SimBoard& board_;
    platform::AdapterPins pins_;
    SeamCount& count_;
    std::uint64_t outputs_ = 0, inputs_ = 0, levels_ = 0;
};

}  // namespace selvar::testing
