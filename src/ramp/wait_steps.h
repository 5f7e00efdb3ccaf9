#pragma once

#include <cstdint>

#include "platform/port_io.h"

namespace selvar::modPubShare {

// The ramp's time base: delay x step units of 2000 reads of the data register at portBase.
// The reads are real accesses and must never be elided.
void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step);

inline constexpr int kReadsPerWaitUnit = 2000;

}  // namespace selvar::modPubShare
