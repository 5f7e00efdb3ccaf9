// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace selvar::platform {

// The register an absolute address names on the port at base: 0 data, 1 status, 2 control.
// Anything else is refused with PortAccessRefused, so no backend can be talked into touching
// an address outside its port's three registers.
[[noreturn]] void refuseAccess(std::uint16_t address,
                               const char* reason = "outside the selected port");

inline int registerOffset(std::uint16_t base, std::uint16_t address) {
    const unsigned offset = static_cast<unsigned>(address) - base;  // wraps when below base
    if (offset > 2) {
        refuseAccess(address);
    }
    return static_cast<int>(offset);
}

}  // namespace selvar::platform
