// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/adapter_provider.h"

#include "platform/adapters/gpio_port.h"
#include "platform/port_listing.h"

namespace selvar::platform {

AdapterPortProvider::AdapterPortProvider(std::array<std::optional<AdapterConfig>, 3> adapters,
                                         std::unique_ptr<PortProvider> others,
                                         FtdiTransportFactory ftdi, SystemCalls& sys)
    : adapters_(std::move(adapters)),
      others_(std::move(others)),
      ftdi_(std::move(ftdi)),
      sys_(sys) {}

PortProvider::Opened AdapterPortProvider::open(int lpt, std::uint16_t base) {
    if (lpt < 1 || lpt > static_cast<int>(adapters_.size()) ||
        !adapters_[static_cast<std::size_t>(lpt - 1)]) {
        return others_->open(lpt, base);
    }
    const AdapterConfig& config = *adapters_[static_cast<std::size_t>(lpt - 1)];
    if (config.kind == AdapterConfig::Kind::Gpio) {
        return openGpioPort(lpt, base, config, sys_);
    }
    return openFtdiPort(lpt, base, config, ftdi_);
}

std::string adapterPinsMissing(const std::array<std::optional<AdapterConfig>, 3>& adapters,
                               SystemCalls& sys) {
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (adapters[i] && adapters[i]->kind == AdapterConfig::Kind::Gpio) {
            if (std::string missing = gpioLineMissing(*adapters[i], sys); !missing.empty()) {
                return "--parport LPT" + std::to_string(i + 1) + "=gpio:" + adapters[i]->device +
                       ": " + missing;
            }
        }
    }
    return {};
}

std::string describeAdapters() {
    std::string text;
    // Every heading, even over nothing: a missing one would leave the reader wondering whether
    // that kind was looked for at all.
    const auto section = [&text](const char* title, const std::vector<std::string>& lines) {
        text += std::string(title) + "\n";
        for (const std::string& line : lines) {
            text += "  " + line + "\n";
        }
        if (lines.empty()) {
            text += "  none\n";
        }
    };
    section("Parallel ports (--parport LPTn=DEVICE with --port-io ppdev, LPTn=BASE with direct):",
            describeParallelPorts());
    section("FTDI devices (--parport LPTn=ftdi:DEVICE):", listFtdiDevices());
    section("GPIO chips (--parport LPTn=gpio:CHIP):", listGpioChips(realSystemCalls()));
    return text;
}

}  // namespace selvar::platform
