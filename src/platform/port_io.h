#pragma once

#include <cstdint>

namespace selvar::platform {

// One parallel port's registers as the program sees them: the only way to the port.
// Addresses are absolute I/O addresses (e.g. 0x378); values are register bytes.
class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual std::uint8_t read(std::uint16_t address) = 0;
    virtual void write(std::uint16_t address, std::uint8_t value) = 0;
};

}  // namespace selvar::platform
