#pragma once

#include <atomic>
#include <cstdint>

#include "platform/port_io.h"

namespace selvar::modPubShare {

// The ramp's time base: delay x step units of 2000 reads of the data register at portBase.
// The reads are real accesses and must never be elided. When stop is given, the wait ends
// early once it reads true (polled every few reads, so within milliseconds at any pacing).
void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
               const std::atomic<bool>* stop = nullptr);

inline constexpr int kReadsPerWaitUnit = 2000;

}  // namespace selvar::modPubShare
