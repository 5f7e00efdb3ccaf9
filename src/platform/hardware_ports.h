// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/selected_port.h"
#include "platform/sys_calls.h"

namespace selvar::platform {

// LPT1..3 through the kernel's user-space parallel-port driver (/dev/parportN): no root
// needed, only membership of the group that owns the device.
class PpdevPortProvider : public PortProvider {
  public:
    PpdevPortProvider(std::array<std::string, 3> devices, SystemCalls& sys);
    Opened open(int lpt, std::uint16_t base) override;

  private:
    std::array<std::string, 3> devices_;
    SystemCalls& sys_;
};

// LPT1..3 by the processor's port I/O instructions. The program addresses the classic bases
// (378h, 278h, 3BCh); realBases says where each port really sits (an add-in card may be at
// d010h), and every access is moved there. Needs root or CAP_SYS_RAWIO.
class DirectPortProvider : public PortProvider {
  public:
    DirectPortProvider(std::array<std::uint16_t, 3> realBases, SystemCalls& sys);
    Opened open(int lpt, std::uint16_t base) override;

  private:
    std::array<std::uint16_t, 3> realBases_;
    SystemCalls& sys_;
};

}  // namespace selvar::platform
