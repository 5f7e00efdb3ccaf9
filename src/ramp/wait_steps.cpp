// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/wait_steps.h"

#include <algorithm>

#include "gain/checked_int16.h"

namespace selvar::modPubShare {

void waitSteps(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
               const std::atomic<bool>* stop) {
    const int units = gain::mul16(delay, step);
    if (units < 1) {
        return;
    }
    // The reads are the ramp's only clock; the port makes them, or waits as long by the clock
    // when it is an adapter whose reads would each be a USB round trip. A stop request cuts the
    // wait short.
    io.wait(portBase, static_cast<long>(units) * kReadsPerWaitUnit, stop);
}

namespace {
// A run of reads aims at this length: long enough that the clock is read rarely, short enough
// that a slice ends close to its deadline.
constexpr auto kRunShortest = std::chrono::microseconds(250);
constexpr auto kRunLongest = std::chrono::microseconds(1000);
}  // namespace

StepWait::StepWait(platform::PortIo& io, std::uint16_t portBase, int delay, int step,
                   const std::atomic<bool>* stop)
    : io_(io),
      portBase_(portBase),
      stop_(stop),
      remaining_(std::max<long>(0, gain::mul16(delay, step)) * kReadsPerWaitUnit) {}

bool StepWait::runUntil(std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    while (remaining_ > 0) {
        const long reads = std::min(run_, remaining_);
        const Clock::time_point begun = Clock::now();
        io_.wait(portBase_, reads, stop_);
        remaining_ -= reads;
        if (stop_ && stop_->load(std::memory_order_relaxed)) {
            remaining_ = 0;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (now - begun < kRunShortest) {
            run_ *= 2;
        } else if (now - begun > kRunLongest && run_ > 1) {
            run_ /= 2;
        }
        if (now >= deadline) {
            break;
        }
    }
    return over();
}

}  // namespace selvar::modPubShare
