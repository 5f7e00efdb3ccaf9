// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/gpio_port.h"

#include <fcntl.h>
#include <linux/gpio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/adapters/adapter_port.h"
#include "platform/pacer.h"

namespace selvar::platform {

namespace {

// A line's place in the request: the bit that stands for it in the line values.
constexpr std::uint64_t requestBit(Signal s) {
    for (std::size_t i = 0; i < kSignalNames.size(); ++i) {
        if (kSignalNames[i].signal == s) {
            return std::uint64_t{1} << i;
        }
    }
    return 0;
}

constexpr std::uint64_t kOutputBits = [] {
    std::uint64_t bits = 0;
    for (const Signal s : kOutputSignals) {
        bits |= requestBit(s);
    }
    return bits;
}();

// The requested lines; each level change is one ioctl, paced so that the chips never see a
// level shorter than a parallel port's access.
class GpioPort final : public AdapterPort {
  public:
    GpioPort(SystemCalls& sys, int lineFd, int lpt, std::uint16_t base)
        : AdapterPort(base), sys_(sys), fd_(lineFd), lpt_(lpt), pacer_(kAccessNs) {}
    ~GpioPort() override { sys_.close(fd_); }
    GpioPort(const GpioPort&) = delete;
    GpioPort& operator=(const GpioPort&) = delete;

    void run(std::uint16_t base, BusBatch& batch) override { runSteps(*this, base, batch); }

  protected:
    void drive(std::uint8_t dataRegister) override {
        gpio_v2_line_values values{};
        values.mask = kOutputBits;
        for (const Signal s : kOutputSignals) {
            if (kParallelWiring.level(dataRegister, s)) {
                values.bits |= requestBit(s);
            }
        }
        pacer_.pace();
        call(GPIO_V2_LINE_SET_VALUES_IOCTL, values);
    }
    bool sampleReadBack() override {
        gpio_v2_line_values values{};
        values.mask = requestBit(Signal::ReadBack);
        pacer_.pace();
        call(GPIO_V2_LINE_GET_VALUES_IOCTL, values);
        return (values.bits & values.mask) != 0;
    }

  private:
    void call(unsigned long request, gpio_v2_line_values& values) {
        if (sys_.ioctl(fd_, request, &values) != 0) {
            const int err = errno;
            throw PortLost(adapterFailure(lpt_, "the GPIO lines stopped answering",
                                          std::strerror(err), "Select the port again."));
        }
    }

    SystemCalls& sys_;
    int fd_;
    int lpt_;
    Pacer pacer_;
};

std::string openFix(int err) {
    switch (err) {
        case ENOENT:
            return "`selvar --list-adapters` shows the GPIO chips there are.";
        case EACCES:
        case EPERM:
            return "Install the udev rule 60-selvar-adapters.rules in /etc/udev/rules.d, join "
                   "group gpio (`sudo usermod -aG gpio $USER`) and log in again.";
        case EBUSY:
            return "Another program or driver holds one of the lines (`gpioinfo` shows which); "
                   "free it or choose other pins with ,pins=.";
        default:
            return {};
    }
}

struct Chip {
    int fd = -1;
    std::string path;
    gpiochip_info info{};
};

// The chip a path, a gpiochipN name or a label names, opened; fd -1 with errno set if none.
Chip findChip(const std::string& device, SystemCalls& sys) {
    const bool byPath = device.starts_with('/');
    const bool byName = device.starts_with("gpiochip");
    const std::vector<std::string> paths = byPath   ? std::vector<std::string>{device}
                                           : byName ? std::vector<std::string>{"/dev/" + device}
                                                    : gpioChipPaths();
    for (const std::string& path : paths) {
        Chip chip{sys.open(path.c_str(), O_RDWR), path, {}};
        if (chip.fd < 0) {
            if (byPath || byName) {
                return chip;
            }
            continue;
        }
        if (sys.ioctl(chip.fd, GPIO_GET_CHIPINFO_IOCTL, &chip.info) == 0 &&
            (byPath || byName || device == chip.info.label)) {
            return chip;
        }
        const int err = errno;
        sys.close(chip.fd);
        if (byPath || byName) {
            errno = err;
            return {-1, path, {}};
        }
    }
    errno = ENOENT;
    return {-1, device, {}};
}

// The first wired pin the chip lacks, as "zcd:28: GPIO chip /dev/gpiochip0 has lines 0 to 27";
// else empty.
std::string missingLine(const AdapterPins& pins, const Chip& chip) {
    for (const SignalName& n : kSignalNames) {
        if (static_cast<std::uint32_t>(pins[n.signal]) >= chip.info.lines) {
            return std::string(n.name) + ":" + std::to_string(pins[n.signal]) + ": GPIO chip " +
                   chip.path + " has lines 0 to " +
                   std::to_string(static_cast<long>(chip.info.lines) - 1);
        }
    }
    return {};
}

gpio_v2_line_request lineRequest(const AdapterPins& pins) {
    gpio_v2_line_request request{};
    for (std::size_t i = 0; i < kSignalNames.size(); ++i) {
        request.offsets[i] = static_cast<std::uint32_t>(pins[kSignalNames[i].signal]);
    }
    request.num_lines = kSignalNames.size();
    std::strncpy(request.consumer, "selvar", sizeof request.consumer - 1);
    request.config.flags = GPIO_V2_LINE_FLAG_INPUT;
    request.config.num_attrs = 2;
    request.config.attrs[0].attr.id = GPIO_V2_LINE_ATTR_ID_FLAGS;
    request.config.attrs[0].attr.flags = GPIO_V2_LINE_FLAG_OUTPUT;
    request.config.attrs[0].mask = kOutputBits;
    request.config.attrs[1].attr.id = GPIO_V2_LINE_ATTR_ID_OUTPUT_VALUES;
    request.config.attrs[1].attr.values = 0;  // every output low, as a port's latch powers up
    request.config.attrs[1].mask = kOutputBits;
    return request;
}

}  // namespace

PortProvider::Opened openGpioPort(int lpt, std::uint16_t base, const AdapterConfig& config,
                                  SystemCalls& sys) {
    Chip chip = findChip(config.device, sys);
    if (chip.fd < 0) {
        const int err = errno;
        return {nullptr, adapterFailure(lpt, "cannot open GPIO chip " + echoed(config.device),
                                        std::strerror(err), openFix(err))};
    }
    if (const std::string missing = missingLine(config.pins, chip); !missing.empty()) {
        sys.close(chip.fd);
        return {nullptr, adapterFailure(lpt, missing, {}, "Choose another pin with ,pins=.")};
    }
    gpio_v2_line_request request = lineRequest(config.pins);
    const int result = sys.ioctl(chip.fd, GPIO_V2_GET_LINE_IOCTL, &request);
    const int err = errno;
    sys.close(chip.fd);  // the line request lives on without the chip's descriptor
    if (result != 0) {
        return {nullptr, adapterFailure(lpt, "cannot request the lines of GPIO chip " + chip.path,
                                        std::strerror(err), openFix(err))};
    }
    return {std::make_unique<GpioPort>(sys, request.fd, lpt, base),
            {},
            "LPT" + std::to_string(lpt) + " = GPIO " + chip.path};
}

std::string gpioLineMissing(const AdapterConfig& config, SystemCalls& sys) {
    const Chip chip = findChip(config.device, sys);
    if (chip.fd < 0) {
        return {};  // said when the port is selected
    }
    sys.close(chip.fd);
    return missingLine(config.pins, chip);
}

std::vector<std::string> gpioChipPaths() {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("gpiochip")) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return paths;
}

std::vector<std::string> listGpioChips(SystemCalls& sys) {
    std::vector<std::string> lines;
    for (const std::string& path : gpioChipPaths()) {
        const int fd = sys.open(path.c_str(), O_RDONLY);
        gpiochip_info info{};
        if (fd < 0 || sys.ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info) != 0) {
            lines.push_back("gpio:" + path + "  (cannot open: " + std::strerror(errno) + ")");
        } else {
            lines.push_back("gpio:" + path + "  name " + info.name + ", label \"" + info.label +
                            "\", " + std::to_string(info.lines) + " lines");
        }
        if (fd >= 0) {
            sys.close(fd);
        }
    }
    return lines;
}

}  // namespace selvar::platform
