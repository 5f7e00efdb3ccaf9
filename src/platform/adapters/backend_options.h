// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "platform/sys_calls.h"

namespace selvar::platform {

// The port backends built into this program that this machine lets it use now, as *OPT? names
// them, in a fixed order: SIM always; PPDEV when a /dev/parport* node exists; DIRECT when the
// machine has port I/O instructions and the system lists a parallel port's range (direct I/O
// uses no other address, and the range shows to root only); FTDI when an FTDI device is plugged
// in; GPIO when a GPIO chip is there.
std::vector<std::string> usableBackends(SystemCalls& sys);

}  // namespace selvar::platform
