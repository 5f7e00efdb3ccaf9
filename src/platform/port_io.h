#pragma once

#include <cstdint>

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
    // Performs a frame's steps on the port whose data register is at base and fills in the
    // batch's results.
    virtual void run(std::uint16_t base, BusBatch& batch) { runStepwise(*this, base, batch); }
};

}  // namespace selvar::platform
