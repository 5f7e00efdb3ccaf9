// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/adapters/adapter_config.h"
#include "platform/selected_port.h"
#include "platform/sim_board.h"

namespace selvar::platform {

enum class PortBackend { Sim, Ppdev, Direct };

// Where the port I/O goes, as the command line chose it.
struct PortOptions {
    PortBackend backend = PortBackend::Sim;
    // LPT1..3 for ppdev: device nodes.
    std::array<std::string, 3> ppdevDevice{"/dev/parport0", "/dev/parport1", "/dev/parport2"};
    // LPT1..3 for direct I/O: the real base addresses (e.g. a PCIe card at 0xd010).
    std::array<std::uint16_t, 3> directBase{0x378, 0x278, 0x3BC};
    // LPT1..3 carried by a USB or GPIO adapter instead, whatever the backend.
    std::array<std::optional<AdapterConfig>, 3> adapter;
    SimBoardConfig sim;
};

// The provider for the chosen backend.
std::unique_ptr<PortProvider> makePortProvider(const PortOptions& options);

}  // namespace selvar::platform
