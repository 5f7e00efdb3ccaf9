// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>

#include "platform/bus_batch.h"

namespace selvar::platform {

// One parallel port's registers as the program sees them: the only way to the port.
// Addresses are absolute I/O addresses (e.g. 0x378); values are register bytes.
class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual std::uint8_t read(std::uint16_t address) = 0;
    virtual void write(std::uint16_t address, std::uint8_t value) = 0;

    // Whether run() performs a batch as a whole (an adapter: one transfer for many line
    // changes) rather than access by access through read() and write().
    virtual bool runsBatches() const { return false; }
    // Whether wait() keeps time by the clock (an adapter, whose reads would each be a USB round
    // trip) rather than by making the reads.
    virtual bool waitsByClock() const { return false; }
    // Performs a frame's steps on the port whose data register is at base and fills in the
    // batch's results.
    virtual void run(std::uint16_t base, BusBatch& batch) { runStepwise(*this, base, batch); }

    // Waits as long as `reads` reads of address take on a parallel port (about a microsecond
    // each). Here that is the reads themselves, so a parallel port's traffic is what it always
    // was; a backend that runs batches waits by the clock instead of making the reads. When
    // stop is given and reads true, the wait ends early: it is polled every kReadsPerStopCheck
    // reads, so at the slowest simulated pacing (1 ms per access) within 16 ms.
    virtual void wait(std::uint16_t address, long reads, const std::atomic<bool>* stop = nullptr) {
        // Each value goes to a volatile sink so that no optimiser can drop a read.
        [[maybe_unused]] volatile std::uint8_t sink = 0;
        for (long i = 0; i < reads; ++i) {
            if (stopRequested(stop, i)) {
                return;
            }
            sink = read(address);
        }
    }

  protected:
    static constexpr long kReadsPerStopCheck = 16;

    static bool stopRequested(const std::atomic<bool>* stop, long readsDone) {
        return stop && readsDone % kReadsPerStopCheck == 0 && stop->load(std::memory_order_relaxed);
    }
};

// Thrown by a backend whose device went away while in use (an adapter unplugged); the message
// says so. The selected port reports it once and goes on with the port absent.
class PortLost : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace selvar::platform
