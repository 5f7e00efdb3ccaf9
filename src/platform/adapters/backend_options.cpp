// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/backend_options.h"

#include <algorithm>

#include "platform/adapters/ftdi_transport.h"
#include "platform/adapters/gpio_port.h"
#include "platform/port_listing.h"

namespace selvar::platform {

std::vector<std::string> usableBackends(SystemCalls& sys) {
    std::vector<std::string> names = {"SIM"};
    const std::vector<std::string> ports = describeParallelPorts();
    if (std::any_of(ports.begin(), ports.end(),
                    [](const std::string& line) { return line.starts_with("/dev/parport"); })) {
        names.emplace_back("PPDEV");
    }
    if (sys.hasPortIo() && !listParallelPorts().empty()) {
        names.emplace_back("DIRECT");
    }
    if (!listFtdiDevices().empty()) {
        names.emplace_back("FTDI");
    }
    if (!gpioChipPaths().empty()) {
        names.emplace_back("GPIO");
    }
    return names;
}

}  // namespace selvar::platform
