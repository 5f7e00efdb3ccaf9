// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "monitor/bus_capture.h"

namespace selvar::monitor {

// Saves the kept frames, those not yet decoded included: a waveform when the name ends in ".vcd"
// (the trace file's format, each frame redrawn from what the decoder kept of it, at its own time),
// else a CSV table of the rows the monitor shows. Saved whole or not at all: on failure an old file
// of that name is kept, and error says why.
bool saveCapture(BusCapture& capture, const std::string& path, std::string& error);

}  // namespace selvar::monitor
