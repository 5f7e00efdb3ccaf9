// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/port_register.h"

#include <cstdio>

#include "platform/selected_port.h"

namespace selvar::platform {

void refuseAccess(std::uint16_t address, const char* reason) {
    char text[96];
    std::snprintf(text, sizeof text, "port access to %03xh refused: %s",
                  static_cast<unsigned>(address), reason);
    throw PortAccessRefused(text);
}

}  // namespace selvar::platform
