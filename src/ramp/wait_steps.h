// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "platform/port_io.h"

namespace selvar::modPubShare {

// The ramp's time base: delay x step units of 2000 reads of the data register at portBase.
// The reads are real accesses and must never be elided. When stop is given, the wait ends
// early once it reads true (polled every few reads, so within milliseconds at any pacing).
void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
               const std::atomic<bool>* stop = nullptr);

inline constexpr int kReadsPerWaitUnit = 2000;

// The same wait made in pieces, so that a caller driven by an event loop can serve events
// between them: the reads are those of waitSteps, in the same order, with nothing between them
// but the time the caller takes. Each call makes reads in short runs until the deadline has
// passed or the wait is over; a run lasts well under a millisecond whatever the port's pace.
class StepWait {
  public:
    StepWait(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
             const std::atomic<bool>* stop = nullptr);

    // True once the wait is over (all its reads made, or cut short by the stop flag).
    bool runUntil(std::chrono::steady_clock::time_point deadline);
    bool over() const { return remaining_ == 0; }

  private:
    platform::PortIo& io_;
    std::uint16_t portBase_;
    const std::atomic<bool>* stop_;
    long remaining_;
    long run_ = 1;  // reads per run, grown or shrunk to the port's pace
};

}  // namespace selvar::modPubShare
