// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/selected_port.h"

namespace selvar::platform {

// accessNs for a real port: waveform timestamps then come from a steady clock.
inline constexpr long long kHardwareAccessNs = -1;

// Opens a streamed trace of every port access: an access log ("R aaa vv" / "W aaa vv" per
// line), or a waveform when the name ends in ".vcd". Returns null and fills error when the
// file cannot be created. accessNs is the simulated duration of one access (0: pacing off),
// or kHardwareAccessNs. A write failure is said once on standard error, naming the file, and
// sets *lost when lost is given.
std::unique_ptr<AccessObserver> openBusTrace(const std::string& path, long long accessNs,
                                             std::string& error, bool* lost = nullptr);

}  // namespace selvar::platform
