#pragma once

#include <memory>
#include <string>

#include "platform/selected_port.h"

namespace selvar::platform {

// Opens a streamed trace of every port access: an access log ("R aaa vv" / "W aaa vv" per
// line), or a waveform when the name ends in ".vcd". Returns null and fills error when the
// file cannot be created. accessNs is the simulated duration of one access (0 when the
// backend is real hardware and timestamps come from a steady clock).
std::unique_ptr<AccessObserver> openBusTrace(const std::string& path, long long accessNs,
                                             std::string& error);

}  // namespace selvar::platform
