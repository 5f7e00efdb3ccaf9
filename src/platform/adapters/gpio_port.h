// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/adapters/adapter_config.h"
#include "platform/selected_port.h"
#include "platform/sys_calls.h"

namespace selvar::platform {

// Opens the GPIO chip config names as LPTn through the kernel's GPIO character device (version 2
// interface): one line request holding the five outputs, all low, and the read-back input. On
// failure the port is absent and the message says why and what to do.
PortProvider::Opened openGpioPort(int lpt, std::uint16_t base, const AdapterConfig& config,
                                  SystemCalls& sys);

// The first wired pin the chip config names lacks ("zcd:28: GPIO chip /dev/gpiochip0 has lines 0
// to 27"), or empty, also when the chip cannot be opened now. Only reads the chip's description.
std::string gpioLineMissing(const AdapterConfig& config, SystemCalls& sys);

// The GPIO chips' device nodes on this machine (/dev/gpiochipN), in order.
std::vector<std::string> gpioChipPaths();

// What is there, for --list-adapters: one line per GPIO chip (path, name, label, lines).
std::vector<std::string> listGpioChips(SystemCalls& sys);

}  // namespace selvar::platform
